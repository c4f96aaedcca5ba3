// An account's settings file over arbitrary contents: the line reader and the check of every
// key's value (site addresses, proxy addresses, seconds, times of day). The file is read at
// every start with --account, and a user may edit it by hand, so no text may crash or hang it.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "config/account_settings.h"
#include "config/proxy_address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QString problem;
  const std::optional<quillet::AccountSettings> settings =
      quillet::parseAccountSettings(bytes, QStringLiteral("account.conf"), &problem);
  // Either settings or the reason they were refused, naming the file.
  if (!settings) {
    if (!problem.startsWith(QLatin1String("account.conf:"))) std::abort();
    return 0;
  }
  // A proxy that was taken is one both engines can use.
  if (!settings->proxy.isEmpty() && !quillet::parseProxyAddress(settings->proxy, nullptr))
    std::abort();
  // Accepted settings write out as a file that reads back to the same values.
  const std::optional<quillet::AccountSettings> again =
      quillet::parseAccountSettings(settings->fileText(QStringLiteral("fuzz")).toUtf8(),
                                    QStringLiteral("account.conf"), &problem);
  if (!again) std::abort();
  for (const QString& key : quillet::AccountSettings::keys()) {
    if (again->value(key) != settings->value(key)) std::abort();
  }
  return 0;
}
