#include "notify/desktop_notifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace quillet {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";

// Whether a session bus is there to be reached: its address in the
// environment, or the per-user bus socket. Without either, the bus library
// would try to launch a bus of its own, which a notification is not worth.
bool sessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QLatin1String("/bus"));
}

}  // namespace

DesktopNotifier::DesktopNotifier(QString appName, QString icon)
    : appName_(std::move(appName)), icon_(std::move(icon)) {}

bool DesktopNotifier::notify(const QString& summary, const QString& body) const {
  if (QCoreApplication::instance() == nullptr || !sessionBusKnown()) return false;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call =
      QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                     QLatin1String(kInterface), QStringLiteral("Notify"));
  // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
  call << appName_ << 0u << icon_ << summary << body << QStringList() << QVariantMap() << -1;
  // Sent without waiting: the service's answer (or the bus's word that there
  // is no service) arrives later and is dropped.
  return bus.send(call);
}

}  // namespace quillet
