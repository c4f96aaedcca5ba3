// Desktop notifications as the session bus carries them: a notification
// service of the test's own, on a private bus, records the calls it gets.
// Each function runs in its own process (see CMakeLists.txt), since a process
// keeps its first session bus connection.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <QtTest>

#include "notify/desktop_notifier.h"

using namespace quillet;

namespace {

struct NotifyCall {
  QString appName;
  uint replacesId = 0;
  QString icon;
  QString summary;
  QString body;
  QStringList actions;
  int expireTimeout = 0;
};

}  // namespace

// The notification service: the Notify method and its answer, as desktops serve them.
class RecordingService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QList<NotifyCall> calls;

 public Q_SLOTS:
  uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints,
              int expireTimeout) {
    Q_UNUSED(hints);
    calls.append({appName, replacesId, icon, summary, body, actions, expireTimeout});
    return static_cast<uint>(calls.size());
  }
};

class DesktopNotifierTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Run on a private session bus.
  void reachesTheServiceOnTheSessionBus() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "this case runs on a private session bus (dbus-run-session)");
    const DesktopNotifier notifier;

    // No service yet: the call is sent, nobody answers, nothing breaks.
    QVERIFY(notifier.notify(QStringLiteral("没有人听"), QStringLiteral("无服务")));

    // The service on a connection of its own, as another program on the bus.
    QDBusConnection serviceBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
    QVERIFY(serviceBus.isConnected());
    RecordingService service;
    QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots));
    QVERIFY(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.Notifications")));

    const QString summary = QStringLiteral("Quillet - 暂停到14:05 - 账号被限制");
    const QString body = QStringLiteral("分享太频繁，10分钟后继续第6个地址\n成功 5，失败 0");
    QVERIFY(notifier.notify(summary, body));
    QTRY_COMPARE(service.calls.size(), 1);
    const NotifyCall& call = service.calls.front();
    QCOMPARE(call.appName, QStringLiteral("Quillet"));
    QCOMPARE(call.icon, QStringLiteral("quillet"));
    QCOMPARE(call.summary, summary);
    QCOMPARE(call.body, body);
    QCOMPARE(call.replacesId, 0u);
    QVERIFY(call.actions.isEmpty());
    QCOMPARE(call.expireTimeout, -1);

    // Another program name, and a second notification of its own.
    const DesktopNotifier other(QStringLiteral("quillet run"), QStringLiteral("dialog-warning"));
    QVERIFY(other.notify(QStringLiteral("登录已失效"), QString()));
    QTRY_COMPARE(service.calls.size(), 2);
    QCOMPARE(service.calls[1].appName, QStringLiteral("quillet run"));
    QCOMPARE(service.calls[1].icon, QStringLiteral("dialog-warning"));
    QCOMPARE(service.calls[1].summary, QStringLiteral("登录已失效"));
    QCOMPARE(service.calls[1].body, QString());

    // A service that went away again: silent once more.
    QVERIFY(serviceBus.unregisterService(QStringLiteral("org.freedesktop.Notifications")));
    QVERIFY(notifier.notify(QStringLiteral("已结束"), QString()));
    QTest::qWait(200);
    QCOMPARE(service.calls.size(), 2);
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  }

  // Run with no session bus at all: no address, no per-user bus socket.
  void withoutABusItSaysSoAndSendsNothing() {
    QVERIFY2(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"),
             "this case runs without a session bus address");
    const DesktopNotifier notifier;
    QVERIFY(!notifier.notify(QStringLiteral("发布完毕"), QStringLiteral("成功 30")));
    QVERIFY(!notifier.notify(QStringLiteral("发布完毕"), QStringLiteral("again")));
  }

  // Run with a bus address where no bus listens.
  void withADeadBusAddressItSaysSo() {
    QVERIFY2(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains(QLatin1String("no-bus")),
             "this case runs with a session bus address where nothing listens");
    const DesktopNotifier notifier;
    QVERIFY(!notifier.notify(QStringLiteral("发布完毕"), QStringLiteral("成功 30")));
  }
};

QTEST_GUILESS_MAIN(DesktopNotifierTest)
#include "desktop_notifier_test.moc"
