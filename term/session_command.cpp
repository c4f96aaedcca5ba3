#include "term/session_command.h"

#include <QDir>
#include <memory>

#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "journal/data_folder_lock.h"
#include "signin/session_check.h"
#include "signin/site_login.h"
#include "term/exit_status.h"
#include "term/headless_browser.h"
#include "term/say.h"
#include "term/sign_in_hint.h"
#include "term/stop_signals.h"

namespace quillet::term {
namespace {

// How long the start page may take to load for the sign-in check before the
// site counts as unreachable. A network limit: not scaled.
constexpr int kStartPageLimitMs = 30'000;

}  // namespace

SessionCommand::SessionCommand(QString programDir, const QString& name, const QString& synopsis,
                               const QString& description, int positional)
    : programDir_(std::move(programDir)),
      line_(name, synopsis, description),
      positional_(positional) {}

QStringList SessionCommand::folders() const {
  return {line_.config().stateDir};
}

int SessionCommand::execute(const QStringList& arguments) {
  line_.parser().addOptions(options());
  const CommandLine::Verdict verdict = line_.parse(arguments, programDir_, positional_);
  if (!verdict.proceed) return verdict.exitStatus;
  if (const Step refused = checkArguments()) return *refused;

  for (const QString& folder : folders()) {
    if (!QDir().mkpath(folder)) {
      say(QStringLiteral("无法创建数据文件夹：%1").arg(folder));
      return kExitUsage;
    }
  }
  if (const Step ended = prepareFolder()) return *ended;
  // One Quillet per data folder: a second one would share the browser's
  // session (and a run's journal) with the first. A sign-in signs the
  // session out first: never under a run that is using it.
  DataFolderLock lock(line_.config().stateDir);
  if (!lock.tryLock()) {
    say(lock.errorText());
    return kExitFolderInUse;
  }
  if (const Step ended = beforeBrowser()) return *ended;

  // Until the command has something to finish in order, a signal ends it at
  // once: a page load may wait half a minute for an unanswering site.
  HeadlessBrowser session(line_.config().stateDir);
  StopSignals stops;  // needs the application object
  stops.setAtOnce(true);
  if (const Step ended = reachSite(session)) return *ended;
  return work(session, stops);
}

SessionCommand::Step SessionCommand::reachSite(HeadlessBrowser& session) {
  const std::unique_ptr<SitePage> page = browserSitePage(session.browser());
  switch (checkSession(*page, line_.profile(), kStartPageLimitMs)) {
    case SessionState::SignedIn:
      return std::nullopt;
    case SessionState::SignedOut:
      say(signInHint(line_));
      return kExitNotSignedIn;
    case SessionState::Unreachable:
      say(SiteLogin::unreachableText());
      return kExitUnreachable;
  }
  return kExitUnreachable;
}

}  // namespace quillet::term
