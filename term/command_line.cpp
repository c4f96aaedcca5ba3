#include "term/command_line.h"

#include <cstdio>

#include "site/profile_file.h"
#include "term/exit_status.h"

namespace quillet::term {

CommandLine::CommandLine(QString name, QString synopsis, const QString& description)
    : name_(std::move(name)),
      synopsis_(std::move(synopsis)),
      site_(QStringLiteral("site"),
            QStringLiteral("Base address of the share site (default: $QUILLET_SITE, else %1).")
                .arg(QLatin1String(kDefaultSiteBase)),
            QStringLiteral("URL")),
      dataDir_(QStringLiteral("data-dir"),
               QStringLiteral("Data folder: remembered account, browser session (browser/), "
                              "captcha picture. Default as for the window."),
               QStringLiteral("DIR")),
      profile_(QStringLiteral("profile"),
               QStringLiteral("Site profile file (TOML). Default: site.toml in the data folder "
                              "when it exists, else the built-in profile."),
               QStringLiteral("FILE")),
      help_({QStringLiteral("h"), QStringLiteral("help")},
            QStringLiteral("Show this help and exit.")) {
  parser_.setApplicationDescription(description);
  parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

QString CommandLine::usageLine() const {
  return QStringLiteral("Usage: quillet %1 %2").arg(name_, synopsis_);
}

QString CommandLine::helpText() const {
  // The parser's own usage line cannot name the program before an
  // application object exists; ours replaces it.
  QString text = parser_.helpText();
  const qsizetype end = text.indexOf(u'\n');
  return usageLine() + (end < 0 ? QString() : text.mid(end));
}

CommandLine::Verdict CommandLine::refuse(const QString& reason) const {
  std::fprintf(stderr, "quillet %s: %s\n%s\nRun 'quillet %s --help' for the options.\n",
               qPrintable(name_), qPrintable(reason), qPrintable(usageLine()), qPrintable(name_));
  return {false, kExitUsage};
}

CommandLine::Verdict CommandLine::parse(const QStringList& arguments, const QString& programDir,
                                        int positional) {
  parser_.addOptions({site_, dataDir_, profile_, help_});
  QStringList argv{QStringLiteral("quillet")};
  argv += arguments;
  if (!parser_.parse(argv)) return refuse(parser_.errorText());
  if (parser_.isSet(help_)) {
    std::fputs(qPrintable(helpText()), stdout);
    return {false, kExitOk};
  }
  const QStringList extra = parser_.positionalArguments();
  if (extra.size() < positional) return refuse(QStringLiteral("missing argument"));
  if (extra.size() > positional) {
    return refuse(QStringLiteral("unexpected argument: %1").arg(extra.at(positional)));
  }

  // The window's own reading of --site and --data-dir decides, so both front
  // ends agree on the defaults and on what a usable site address is.
  QStringList common{QStringLiteral("quillet")};
  if (parser_.isSet(site_)) common << QStringLiteral("--site") << parser_.value(site_);
  if (parser_.isSet(dataDir_)) common << QStringLiteral("--data-dir") << parser_.value(dataDir_);
  if (parser_.isSet(profile_)) common << QStringLiteral("--profile") << parser_.value(profile_);
  commonGiven_ = common.mid(1);
  config_ = parseAppConfig(common, programDir);
  if (config_.exitNow) return refuse(config_.message.trimmed());

  const ProfileLoad load = loadSiteProfile(config_.profilePath, config_.dataDir);
  if (!load.ok()) {
    std::fprintf(stderr, "%s\n", load.errorText().toUtf8().constData());
    return {false, kExitUsage};
  }
  config_.profile = *load.profile;
  config_.profile.siteBase = config_.siteBase;
  return {true, kExitOk};
}

}  // namespace quillet::term
