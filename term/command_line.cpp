#include "term/command_line.h"

#include <cstdio>

#include "browser/browser_control.h"
#include "browser/engine_proxy.h"
#include "net/process_proxy.h"
#include "site/profile_file.h"
#include "term/exit_status.h"
#include "term/say.h"

namespace quillet::term {

CommandLine::CommandLine(QString name, QString synopsis, const QString& description)
    : name_(std::move(name)),
      synopsis_(std::move(synopsis)),
      site_(QStringLiteral("site"),
            QStringLiteral("Base address of the share site (default: $QUILLET_SITE, else %1).")
                .arg(QLatin1String(kDefaultSiteBase)),
            QStringLiteral("URL")),
      account_(QStringLiteral("account"),
               QStringLiteral("Use the named account (see 'quillet accounts'): its folders, "
                              "site, proxy and, for run, its list and run settings."),
               QStringLiteral("NAME")),
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
  say(QStringLiteral("quillet %1: %2\n%3\nRun 'quillet %1 --help' for the options.")
          .arg(name_, reason, usageLine()));
  return {false, kExitUsage};
}

CommandLine::Verdict CommandLine::parse(const QStringList& arguments, const QString& programDir,
                                        int positional) {
  parser_.addOptions({site_, account_, dataDir_, profile_, help_});
  QStringList argv{QStringLiteral("quillet")};
  argv += arguments;
  if (!parser_.parse(argv)) return refuse(parser_.errorText());
  if (parser_.isSet(help_)) {
    std::fputs(qPrintable(helpText()), stdout);
    return {false, kExitOk};
  }

  // The window's own reading of --site and --data-dir decides, so both front
  // ends agree on the defaults and on what a usable site address is.
  QStringList common{QStringLiteral("quillet")};
  if (parser_.isSet(site_)) common << QStringLiteral("--site") << parser_.value(site_);
  if (parser_.isSet(account_)) common << QStringLiteral("--account") << parser_.value(account_);
  if (parser_.isSet(dataDir_)) common << QStringLiteral("--data-dir") << parser_.value(dataDir_);
  if (parser_.isSet(profile_)) common << QStringLiteral("--profile") << parser_.value(profile_);
  commonGiven_ = common.mid(1);
  config_ = parseAppConfig(common, programDir);
  if (config_.exitNow) return refuse(config_.message.trimmed());
  if (!config_.accountName.isEmpty()) {
    const QStringList completed = withAccountDefaults(arguments, config_.account, positional);
    if (completed != arguments) {
      argv = QStringList{QStringLiteral("quillet")} + completed;
      if (!parser_.parse(argv)) return refuse(parser_.errorText());
    }
  }
  if (!config_.accountName.isEmpty())
    BrowserControl::nameProfile(QStringLiteral("quillet-") + config_.accountName);
  if (config_.proxy) {
    setProcessProxy(config_.proxy->transferUrl());
    useEngineProxy(config_.proxy->serverText(), config_.proxy->user, config_.proxy->password);
  }

  const QStringList extra = parser_.positionalArguments();
  if (extra.size() < positional) {
    return refuse(config_.accountName.isEmpty() || name_ != QLatin1String("run")
                      ? QStringLiteral("missing argument")
                      : QStringLiteral("missing argument (or a list file in the account's "
                                       "settings: quillet accounts set %1 --list FILE)")
                            .arg(config_.accountName));
  }
  if (extra.size() > positional) {
    return refuse(QStringLiteral("unexpected argument: %1").arg(extra.at(positional)));
  }

  const ProfileLoad load = loadSiteProfile(config_.profilePath, config_.dataDir);
  if (!load.ok()) {
    say(load.errorText());
    return {false, kExitUsage};
  }
  config_.profile = *load.profile;
  config_.profile.siteBase = config_.siteBase;
  return {true, kExitOk};
}

QStringList CommandLine::withAccountDefaults(const QStringList& arguments,
                                             const AccountSettings& account, int positional) {
  if (name_ != QLatin1String("run")) return arguments;
  QStringList completed = arguments;
  const auto given = [this](const char* option) {
    return parser_.isSet(QString::fromLatin1(option));
  };
  // Options go before the file, so that a "--" the user gave keeps its meaning.
  QStringList options;
  if (!account.period.isEmpty() && !given("period"))
    options << QStringLiteral("--period") << account.period;
  if (!account.jitter.isEmpty() && !given("jitter"))
    options << QStringLiteral("--jitter") << account.jitter;
  if (account.loop && !given("loop")) options << QStringLiteral("--loop");
  if (account.comment && !given("comment")) options << QStringLiteral("--comment");
  completed = options + completed;
  if (parser_.positionalArguments().size() < positional && !account.list.isEmpty()) {
    if (!completed.contains(QStringLiteral("--"))) completed << QStringLiteral("--");
    completed << account.list;
  }
  return completed;
}

}  // namespace quillet::term
