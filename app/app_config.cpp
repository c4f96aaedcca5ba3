#include "app/app_config.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include "term/subcommand_list.h"

namespace quillet {
namespace {

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

// The parser names the program only once an application object exists.
QString helpText(const QCommandLineParser& parser) {
  QString text = parser.helpText();
  text.replace(QLatin1String("<executable_name>"), QLatin1String("quillet"));
  return text + term::subcommandsHelp();
}

}  // namespace

QString defaultDataDir(const QString& programDir) {
  const QFileInfo info(programDir);
  if (info.isDir() && info.isWritable()) return programDir;
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QLatin1String("/.config");
  return config + QLatin1String("/quillet");
}

AppConfig parseAppConfig(const QStringList& arguments, const QString& programDir) {
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
      QStringLiteral("Folder for the remembered account (user.txt, password.txt). Default: the "
                     "program's folder when writable, else $XDG_CONFIG_HOME/quillet."),
      QStringLiteral("DIR"));
  const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                      QStringLiteral("Show this help and exit."));
  const QCommandLineOption versionOption(QStringLiteral("version"),
                                         QStringLiteral("Show the version and exit."));
  parser.addOptions({siteOption, dataOption, helpOption, versionOption});

  AppConfig config;
  if (!parser.parse(arguments)) {
    config.exitNow = true;
    config.exitCode = 2;
    config.message = parser.errorText() + QLatin1String("\n\n") + helpText(parser);
    return config;
  }
  if (parser.isSet(helpOption)) {
    config.exitNow = true;
    config.message = helpText(parser);
    return config;
  }
  if (parser.isSet(versionOption)) {
    config.exitNow = true;
    config.message = QStringLiteral("Quillet %1\n").arg(QLatin1String(QUILLET_VERSION));
    return config;
  }

  QString site = parser.value(siteOption);
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

  config.dataDir = parser.isSet(dataOption) ? parser.value(dataOption) : defaultDataDir(programDir);
  return config;
}

}  // namespace quillet
