#include "term/check_command.h"

#include <QDir>
#include <QTextStream>
#include <cstdio>

#include "browser/browser_control.h"
#include "journal/data_folder_lock.h"
#include "share/site_check.h"
#include "signin/session_check.h"
#include "signin/site_login.h"
#include "site/profile_file.h"
#include "term/command_line.h"
#include "term/exit_status.h"
#include "term/headless_browser.h"
#include "term/printable_text.h"
#include "term/sign_in_hint.h"
#include "term/stop_signals.h"

namespace quillet::term {
namespace {

// How long the start page may take to load before the site counts as
// unreachable. A network limit: not scaled.
constexpr int kStartPageLimitMs = 30'000;

}  // namespace

int CheckCommand::execute(const QStringList& arguments) {
  CommandLine line(QStringLiteral("check"), QStringLiteral("[options]"),
                   QStringLiteral("Tries the site profile on the site in the kept session of "
                                  "'quillet login': the start page, the share dialog and an "
                                  "address that can never be an item, which the site must call "
                                  "wrong. Nothing is shared. One line per step on standard "
                                  "output.\nExit status: 0 every step as expected, 1 a step "
                                  "found something else, 2 usage or a refused profile, 3 not "
                                  "signed in, 4 site unreachable, 5 the data folder is in use "
                                  "by another Quillet or cannot be locked."));
  const CommandLine::Verdict verdict = line.parse(arguments, programDir_, 0);
  if (!verdict.proceed) return verdict.exitStatus;
  if (!QDir().mkpath(line.config().stateDir)) {
    std::fprintf(stderr, "无法创建数据文件夹：%s\n", line.config().stateDir.toUtf8().constData());
    return kExitUsage;
  }
  // The check uses the folder's browser session: never beside a run or a
  // sign-in that works in it.
  DataFolderLock lock(line.config().stateDir);
  if (!lock.tryLock()) {
    std::fprintf(stderr, "%s\n", lock.errorText().toUtf8().constData());
    return kExitFolderInUse;
  }
  // Nothing to finish in order: a signal ends the check at once.
  HeadlessBrowser session(line.config().stateDir);
  StopSignals stops;  // needs the application object
  stops.setAtOnce(true);
  switch (checkSession(session.browser(), line.profile(), kStartPageLimitMs)) {
    case SessionState::SignedIn:
      break;
    case SessionState::SignedOut:
      std::fprintf(stderr, "%s\n", signInHint(line).toUtf8().constData());
      return kExitNotSignedIn;
    case SessionState::Unreachable:
      std::fprintf(stderr, "%s\n", SiteLogin::unreachableText().toUtf8().constData());
      return kExitUnreachable;
  }
  // Page texts go to the terminal: without their control characters.
  PrintableStdout device;
  QTextStream out(&device);
  const int result = runSiteCheck(*session.browser(), line.profile(), out);
  out.flush();
  if (device.failed()) {
    std::fprintf(stderr, "无法写入标准输出：%s\n", device.errorString().toUtf8().constData());
    return kExitRowsFailed;
  }
  return result;
}

int ProfileCommand::execute(const QStringList& arguments) {
  CommandLine line(QStringLiteral("profile"), QStringLiteral("--print-default"),
                   QStringLiteral("Prints the built-in site profile as a commented TOML file: "
                                  "save it as site.toml in the data folder (or pass it with "
                                  "--profile) and change what the site changed."));
  const QCommandLineOption printDefault(QStringLiteral("print-default"),
                                        QStringLiteral("Print the built-in profile."));
  line.parser().addOption(printDefault);
  const CommandLine::Verdict verdict = line.parse(arguments, programDir_, 0);
  if (!verdict.proceed) return verdict.exitStatus;
  if (!line.parser().isSet(printDefault)) {
    return line.refuse(QStringLiteral("nothing to do: use --print-default")).exitStatus;
  }
  const QByteArray text = defaultProfileToml().toUtf8();
  std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
  return kExitOk;
}

}  // namespace quillet::term
