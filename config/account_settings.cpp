#include "config/account_settings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <cmath>

#include "config/account_name.h"
#include "config/app_config.h"
#include "config/home_folder.h"
#include "config/proxy_address.h"

namespace quillet {
namespace {

constexpr char kSettingsFile[] = "account.conf";
constexpr qsizetype kLargestSettingsFile = 64 * 1024;

QString secondsProblem(const QString& key, const QString& value) {
  bool ok = false;
  const double seconds = value.toDouble(&ok);
  if (ok && std::isfinite(seconds) && seconds >= 0 && seconds <= 86400) return {};
  return QStringLiteral("%1 takes seconds from 0 to 86400, not '%2'").arg(key, value);
}

std::optional<bool> truthValue(const QString& value) {
  const QString v = value.toLower();
  if (v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("1"))
    return true;
  if (v == QLatin1String("false") || v == QLatin1String("no") || v == QLatin1String("0"))
    return false;
  return std::nullopt;
}

}  // namespace

const QStringList& AccountSettings::keys() {
  static const QStringList list{QStringLiteral("site"),    QStringLiteral("proxy"),
                                QStringLiteral("list"),    QStringLiteral("period"),
                                QStringLiteral("jitter"),  QStringLiteral("loop"),
                                QStringLiteral("comment"), QStringLiteral("time")};
  return list;
}

QString AccountSettings::set(const QString& key, const QString& given) {
  const QString value = given.trimmed();
  if (key == QLatin1String("site")) {
    if (value.isEmpty()) return site.clear(), QString();
    const QString normal = normalisedSiteBase(value);
    if (!isValidSiteBase(normal))
      return QStringLiteral("not a usable site address: '%1' (expected e.g. %2)")
          .arg(value, QLatin1String(kDefaultSiteBase));
    site = normal;
  } else if (key == QLatin1String("proxy")) {
    QString problem;
    if (!value.isEmpty() && !parseProxyAddress(value, &problem)) return problem;
    proxy = value;
  } else if (key == QLatin1String("list")) {
    if (!value.isEmpty() && !QDir::isAbsolutePath(value))
      return QStringLiteral("list takes an absolute file name, not '%1'").arg(value);
    list = value;
  } else if (key == QLatin1String("period") || key == QLatin1String("jitter")) {
    if (!value.isEmpty()) {
      if (QString problem = secondsProblem(key, value); !problem.isEmpty()) return problem;
    }
    (key == QLatin1String("period") ? period : jitter) = value;
  } else if (key == QLatin1String("loop") || key == QLatin1String("comment")) {
    const std::optional<bool> truth = value.isEmpty() ? false : truthValue(value);
    if (!truth) return QStringLiteral("%1 takes true or false, not '%2'").arg(key, value);
    (key == QLatin1String("loop") ? loop : comment) = *truth;
  } else if (key == QLatin1String("time")) {
    static const QRegularExpression hhmm(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]$"));
    if (!value.isEmpty() && !hhmm.match(value).hasMatch())
      return QStringLiteral("time takes a time of day as HH:MM (00:00 to 23:59), not '%1'")
          .arg(value);
    time = value;
  } else {
    return QStringLiteral("unknown key '%1' (the keys are %2)")
        .arg(key, keys().join(QLatin1String(", ")));
  }
  return {};
}

QString AccountSettings::value(const QString& key) const {
  if (key == QLatin1String("site")) return site;
  if (key == QLatin1String("proxy")) return proxy;
  if (key == QLatin1String("list")) return list;
  if (key == QLatin1String("period")) return period;
  if (key == QLatin1String("jitter")) return jitter;
  if (key == QLatin1String("loop")) return loop ? QStringLiteral("true") : QString();
  if (key == QLatin1String("comment")) return comment ? QStringLiteral("true") : QString();
  if (key == QLatin1String("time")) return time;
  return {};
}

QString AccountSettings::fileText(const QString& accountName) const {
  QString text = QStringLiteral(
                     "# Quillet account %1: one key = value a line. Keys: %2.\n"
                     "# 'quillet accounts set %1 --help' tells what each takes.\n")
                     .arg(accountName, keys().join(QLatin1String(", ")));
  for (const QString& key : keys()) {
    const QString v = value(key);
    if (!v.isEmpty()) text += key + QLatin1String(" = ") + v + u'\n';
  }
  return text;
}

std::optional<AccountSettings> readAccountSettings(const QString& path, QString* problem) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (problem != nullptr) *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  return parseAccountSettings(file.read(kLargestSettingsFile + 1), path, problem);
}

std::optional<AccountSettings> parseAccountSettings(const QByteArray& bytes, const QString& path,
                                                    QString* problem) {
  // A settings file is a few lines; anything much larger is not one.
  if (bytes.size() > kLargestSettingsFile) {
    if (problem != nullptr)
      *problem = QStringLiteral("%1: too large for a settings file").arg(path);
    return std::nullopt;
  }
  AccountSettings settings;
  const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString line = lines.at(i).trimmed();
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    const qsizetype equals = line.indexOf(u'=');
    QString why;
    if (equals <= 0) {
      why = QStringLiteral("expected key = value");
    } else {
      why = settings.set(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    if (!why.isEmpty()) {
      if (problem != nullptr) *problem = QStringLiteral("%1:%2: %3").arg(path).arg(i + 1).arg(why);
      return std::nullopt;
    }
  }
  return settings;
}

bool writeAccountSettings(const QString& path, const QString& accountName,
                          const AccountSettings& settings, QString* problem) {
  QSaveFile file(path);
  const QByteArray bytes = settings.fileText(accountName).toUtf8();
  if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly) ||
      file.write(bytes) != bytes.size() || !file.commit()) {
    if (problem != nullptr) *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

QString accountsConfigRoot() {
  return xdgBaseDir("XDG_CONFIG_HOME", ".config") + QLatin1String("/quillet/accounts");
}

QString accountsStateRoot() {
  return xdgBaseDir("XDG_STATE_HOME", ".local/state") + QLatin1String("/quillet/accounts");
}

QString accountConfigDir(const QString& name) {
  return accountsConfigRoot() + u'/' + name;
}

QString accountStateDir(const QString& name) {
  return accountsStateRoot() + u'/' + name;
}

QString accountSettingsPath(const QString& name) {
  return accountConfigDir(name) + u'/' + QLatin1String(kSettingsFile);
}

QStringList accountNames() {
  QStringList names;
  const QDir root(accountsConfigRoot());
  for (const QString& entry : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    if (accountNameProblem(entry).isEmpty() && QFile::exists(accountSettingsPath(entry)))
      names << entry;
  }
  return names;
}

}  // namespace quillet
