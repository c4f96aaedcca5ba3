#include "config/app_config.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <optional>

#include "config/account_name.h"
#include "config/account_settings.h"
#include "config/home_folder.h"

namespace quillet {

QString normalisedSiteBase(QString site) {
  site = site.trimmed();
  if (!site.contains(QLatin1String("://"))) site.prepend(QLatin1String("http://"));
  const qsizetype hostStart = site.indexOf(QLatin1String("://")) + 3;
  while (site.size() > hostStart && site.endsWith(u'/')) site.chop(1);
  return site;
}

bool isValidSiteBase(const QString& site) {
  const QUrl url(site, QUrl::StrictMode);
  return url.isValid() && !url.host().isEmpty() &&
         (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

namespace {

// A program run from a writable folder of its own (a build tree, an unpacked
// copy) keeps its files beside it. The system's program folders never count,
// even when writable (for root): an installed Quillet uses the user's folders.
bool keepsFilesBesideProgram(const QString& programDir) {
  const QFileInfo info(programDir);
  if (!info.isDir() || !info.isWritable()) return false;
  const QString folder = info.canonicalFilePath();
  for (const char* system : {"/usr/bin", "/usr/local/bin", QUILLET_INSTALL_BINDIR}) {
    if (folder == QFileInfo(QLatin1String(system)).canonicalFilePath()) return false;
  }
  return true;
}

// The parser names the program only once an application object exists.
QString helpText(const QCommandLineParser& parser, const QString& commandsHelp) {
  QString text = parser.helpText();
  text.replace(QLatin1String("<executable_name>"), QLatin1String("quillet"));
  return text + commandsHelp;
}

}  // namespace

QString defaultDataDir(const QString& programDir) {
  if (keepsFilesBesideProgram(programDir)) return programDir;
  return xdgBaseDir("XDG_CONFIG_HOME", ".config") + QLatin1String("/quillet");
}

QString defaultStateDir(const QString& programDir) {
  if (keepsFilesBesideProgram(programDir)) return programDir;
  return xdgBaseDir("XDG_STATE_HOME", ".local/state") + QLatin1String("/quillet");
}

AppConfig parseAppConfig(const QStringList& arguments, const QString& programDir,
                         const QString& commandsHelp) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Quillet shares a list of item pages on a shopping-share site under your account.\n"
      "Sign in on the 登录 page, import a file of item addresses, set the period and press 发表."));
  const QCommandLineOption siteOption(
      QStringLiteral("site"),
      QStringLiteral("Base address of the share site (default: $QUILLET_SITE, else %1).")
          .arg(QLatin1String(kDefaultSiteBase)),
      QStringLiteral("URL"));
  const QCommandLineOption dataOption(
      QStringLiteral("data-dir"),
      QStringLiteral("Folder for everything Quillet keeps: the remembered account (user.txt, "
                     "password.txt), the journal and the browser profile. Default: the program's "
                     "folder when writable, else $XDG_CONFIG_HOME/quillet for the account and "
                     "$XDG_STATE_HOME/quillet for the rest."),
      QStringLiteral("DIR"));
  const QCommandLineOption accountOption(
      QStringLiteral("account"),
      QStringLiteral("Use the named account (see 'quillet accounts'): its settings in "
                     "$XDG_CONFIG_HOME/quillet/accounts/NAME, its journal and browser session in "
                     "$XDG_STATE_HOME/quillet/accounts/NAME, its site and proxy."),
      QStringLiteral("NAME"));
  const QCommandLineOption profileOption(
      QStringLiteral("profile"),
      QStringLiteral("Site profile file (TOML) describing the share site's pages. Default: "
                     "site.toml in the data folder when it exists, else the built-in profile."),
      QStringLiteral("FILE"));
  const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                      QStringLiteral("Show this help and exit."));
  const QCommandLineOption versionOption(QStringLiteral("version"),
                                         QStringLiteral("Show the version and exit."));
  parser.addOptions(
      {siteOption, accountOption, dataOption, profileOption, helpOption, versionOption});

  AppConfig config;
  if (!parser.parse(arguments)) {
    config.exitNow = true;
    config.exitCode = 2;
    config.message = parser.errorText() + QLatin1String("\n\n") + helpText(parser, commandsHelp);
    return config;
  }
  if (parser.isSet(helpOption)) {
    config.exitNow = true;
    config.message = helpText(parser, commandsHelp);
    return config;
  }
  if (parser.isSet(versionOption)) {
    config.exitNow = true;
    config.message = QStringLiteral("Quillet %1\n").arg(QLatin1String(QUILLET_VERSION));
    return config;
  }

  const auto refuse = [&config](const QString& message) {
    config.exitNow = true;
    config.exitCode = 2;
    config.message = message + u'\n';
    return config;
  };
  if (parser.isSet(accountOption)) {
    config.accountName = parser.value(accountOption);
    if (const QString problem = accountNameProblem(config.accountName); !problem.isEmpty())
      return refuse(problem);
    if (parser.isSet(dataOption)) {
      return refuse(
          QStringLiteral("--account and --data-dir cannot be used together: an "
                         "account keeps its files in its own folders"));
    }
    const QString path = accountSettingsPath(config.accountName);
    if (!QFileInfo::exists(path)) {
      return refuse(QStringLiteral("no account named '%1' (add it with 'quillet accounts add "
                                   "%1', list them with 'quillet accounts')")
                        .arg(config.accountName));
    }
    QString problem;
    const std::optional<AccountSettings> settings = readAccountSettings(path, &problem);
    if (!settings) return refuse(problem);
    config.account = *settings;
    if (!settings->proxy.isEmpty()) config.proxy = parseProxyAddress(settings->proxy, nullptr);
  }

  QString site = parser.value(siteOption);
  if (site.isEmpty()) site = config.account.site;
  if (site.isEmpty()) site = qEnvironmentVariable("QUILLET_SITE");
  if (site.isEmpty()) site = QLatin1String(kDefaultSiteBase);
  config.siteBase = normalisedSiteBase(site);
  if (!isValidSiteBase(config.siteBase)) {
    config.exitNow = true;
    config.exitCode = 2;
    config.message = QStringLiteral("Not a usable site address: %1 (expected e.g. %2)\n")
                         .arg(site, QLatin1String(kDefaultSiteBase));
    return config;
  }

  if (!config.accountName.isEmpty()) {
    config.dataDir = accountConfigDir(config.accountName);
    config.stateDir = accountStateDir(config.accountName);
  } else if (parser.isSet(dataOption)) {
    config.dataDir = config.stateDir = parser.value(dataOption);
  } else {
    config.dataDir = defaultDataDir(programDir);
    config.stateDir = defaultStateDir(programDir);
  }
  config.profilePath = parser.value(profileOption);
  if (parser.isSet(profileOption) && config.profilePath.isEmpty()) {
    config.exitNow = true;
    config.exitCode = 2;
    config.message = QStringLiteral("--profile needs a file name\n");
  }
  return config;
}

}  // namespace quillet
