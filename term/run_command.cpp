#include "term/run_command.h"

#include <signal.h>

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>

#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "journal/data_folder_lock.h"
#include "journal/journal.h"
#include "share/address_import.h"
#include "share/address_list_model.h"
#include "share/pass_notices.h"
#include "share/row_pacing.h"
#include "share/share_engine.h"
#include "share/share_journal.h"
#include "share/site_hold.h"
#include "signin/session_check.h"
#include "signin/site_login.h"
#include "site/site_profile.h"
#include "site/time_scale.h"
#include "term/command_line.h"
#include "term/exit_status.h"
#include "term/headless_browser.h"
#include "term/run_input.h"
#include "term/run_report.h"
#include "term/run_settings.h"
#include "term/sign_in_hint.h"
#include "term/stop_signals.h"
#include "term/terminal_dialogs.h"

namespace quillet::term {
namespace {

// How long the start page may take to load for the sign-in check before the
// site counts as unreachable. A network limit: not scaled.
constexpr int kStartPageLimitMs = 30'000;

QString signalName(int signalNumber) {
  switch (signalNumber) {
    case SIGINT:
      return QStringLiteral("SIGINT");
    case SIGTERM:
      return QStringLiteral("SIGTERM");
    case SIGHUP:
      return QStringLiteral("SIGHUP");
    default:
      return {};
  }
}

void say(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

}  // namespace

int RunCommand::execute(const QStringList& arguments) {
  CommandLine line(
      QStringLiteral("run"), QStringLiteral("FILE [options]"),
      QStringLiteral(
          "Imports FILE (one item address per line, GBK or UTF-8) as 导入地址 does and shares "
          "every address through the site, as 发表 does, with the session of 'quillet login'.\n"
          "Results go to standard output as rows finish (CSV 地址,状态,发布时间, or JSON lines); "
          "progress to standard error. SIGINT or SIGTERM stops at the next step.\n"
          "FILE, the period and the --csv file are checked before anything changes.\n"
          "Exit status: 0 every row 成功, 1 some row 失败 or 地址错误, or the results could not "
          "be written (standard output or the --csv file), 2 usage, unreadable or empty FILE, "
          "period below 21, --csv file that cannot be written, 3 not signed in (or the site ended "
          "the session during the pass: after 'quillet login', --resume goes on at its row), 4 "
          "site unreachable (or down during the pass past outageGiveUpMinutes), 5 the data folder "
          "is in use by another Quillet, cannot be locked, or its journal cannot be written, "
          "130/143/129 stopped by SIGINT/SIGTERM/SIGHUP."));
  const QCommandLineOption periodOption(
      QStringLiteral("period"), QStringLiteral("Seconds per address, 21 or more (default 21)."),
      QStringLiteral("S"), QStringLiteral("21"));
  const QCommandLineOption loopOption(
      QStringLiteral("loop"), QStringLiteral("Start over at the end of the list (循环分享)."));
  const QCommandLineOption commentOption(QStringLiteral("comment"),
                                         QStringLiteral("Add a random comment to each share."));
  const QCommandLineOption jitterOption(
      QStringLiteral("jitter"),
      QStringLiteral("Add a random 0 to S seconds to each address's final wait."),
      QStringLiteral("S"));
  const QCommandLineOption csvOption(
      QStringLiteral("csv"),
      QStringLiteral("Also write the whole list as CSV to FILE at the end (UTF-8 with a "
                     "byte-order mark, as 导出结果 writes it). FILE is opened before the pass."),
      QStringLiteral("FILE"));
  const QCommandLineOption jsonOption(QStringLiteral("json"),
                                      QStringLiteral("Results as JSON lines instead of CSV."));
  const QCommandLineOption resumeOption(
      QStringLiteral("resume"),
      QStringLiteral("Go on with the pass that was interrupted in this data folder (its rows and "
                     "settings are in the journal; a row whose confirm was clicked but never read "
                     "stays 未确认 and is not sent again). Never starts a new pass: when the last "
                     "pass finished it says so and exits 0; FILE must be the file the pass came "
                     "from (exit 2 otherwise). Options given override the pass's settings."));
  const QCommandLineOption verboseOption(
      QStringLiteral("verbose"),
      QStringLiteral("Also log the engine's status texts and each final pacing wait."));
  line.parser().addOptions({periodOption, loopOption, commentOption, jitterOption, csvOption,
                            jsonOption, verboseOption, resumeOption});
  const CommandLine::Verdict verdict = line.parse(arguments, programDir_, 1);
  if (!verdict.proceed) return verdict.exitStatus;

  // The settings are read here once, as typed values; an explicitly given
  // option also overrides the settings of a pass that goes on.
  // Whether the period is long enough is the engine's own check, with the
  // window's refusal text; a period that is no number at all is a usage error.
  const std::optional<double> period = secondsOption(line.parser().value(periodOption));
  if (!period) return line.refuse(QStringLiteral("--period takes seconds")).exitStatus;
  std::optional<double> jitter = 0.0;
  if (line.parser().isSet(jitterOption)) {
    jitter = secondsOption(line.parser().value(jitterOption));
    if (!jitter) return line.refuse(QStringLiteral("--jitter takes seconds, 0 or more")).exitStatus;
  }
  const QString file = line.parser().positionalArguments().constFirst();
  // Everything the run is asked for is read and checked here, before the
  // data folder is touched: a refusal (status 2) changes nothing.
  RunInput input;
  if (!input.prepare(file, *period, line.parser().value(csvOption))) return kExitUsage;
  const QString sourceFile = QFileInfo(file).absoluteFilePath();
  const bool resume = line.parser().isSet(resumeOption);

  if (!QDir().mkpath(line.config().stateDir)) {
    say(QStringLiteral("无法创建数据文件夹：%1").arg(line.config().stateDir));
    return kExitUsage;
  }
  // One Quillet per data folder: a second one would share the browser's
  // session and the journal with the first. Taken before anything else.
  DataFolderLock lock(line.config().stateDir);
  if (!lock.tryLock()) {
    say(lock.errorText());
    return kExitFolderInUse;
  }
  // Results go to a pipe or a file; one that closes must show as EPIPE, not
  // end the process before the journal knows where the pass stands.
  std::signal(SIGPIPE, SIG_IGN);
  // What --resume would go on with is known from the journal alone: a run
  // that has nothing to go on with ends here, before the browser and the site.
  if (resume) {
    Journal peek;
    peek.open(line.config().stateDir);
    const JournalSnapshot last = peek.restore();
    const std::optional<JournalPass>& pass = last.pass;
    if (!pass) {
      say(QStringLiteral("此数据文件夹中没有可以继续的分享；不带 --resume 运行以开始新的分享"));
      return kExitUsage;
    }
    if (last.stale) {
      say(ShareJournal::staleText(peek.filePath()));
      return kExitUsage;
    }
    if (pass->state == PassState::Finished || last.resumeRow < 0) {
      say(QStringLiteral("上次的分享已经完成"));
      return kExitOk;
    }
    if (!pass->sourceFile.isEmpty() && pass->sourceFile != sourceFile) {
      say(QStringLiteral("中断的分享来自文件 %1，不是 %2：用这个文件加 --resume 继续，"
                         "或不带 --resume 重新开始")
              .arg(QDir::toNativeSeparators(pass->sourceFile),
                   QDir::toNativeSeparators(sourceFile)));
      return kExitUsage;
    }
  }
  // Until the pass can stop in order, a signal ends the run at once: the
  // sign-in check may wait half a minute for an unanswering site.
  HeadlessBrowser session(line.config().stateDir);
  StopSignals stops;  // needs the application object
  stops.setAtOnce(true);
  const SiteProfile& profile = line.profile();
  switch (checkSession(session.browser(), profile, kStartPageLimitMs)) {
    case SessionState::SignedIn:
      break;
    case SessionState::SignedOut:
      say(signInHint(line));
      return kExitNotSignedIn;
    case SessionState::Unreachable:
      say(SiteLogin::unreachableText());
      return kExitUnreachable;
  }
  // From here a signal ends the run in order: before the pass, without
  // starting it; within it, at the engine's next step boundary.
  stops.setAtOnce(false);
  if (stops.received() != 0) return StopSignals::exitStatusFor(stops.received());

  AddressListModel list;
  RunSettings settings;
  settings.periodSeconds = *period;
  settings.loop = line.parser().isSet(loopOption);
  settings.comment = line.parser().isSet(commentOption);
  settings.pool = profile.comments;
  settings.jitterMaxMicros = std::llround(*jitter * 1e6);
  TerminalDialogs dialogs;
  const std::unique_ptr<SitePage> page = browserSitePage(session.browser());
  ShareEngine engine(list, settings, page.get(), profile, dialogs);
  engine.setSourceFile(sourceFile);
  // The list as the journal holds it, and every change recorded from here
  // on before the pass takes its next page step.
  ShareJournal journal(list, engine.failedAddresses(), engine, dialogs);
  journal.openAndRestore(line.config().stateDir);
  if (!journal.isActive()) {
    // The window may go on in memory; a run whose results are kept nowhere
    // could neither be resumed nor keep an item from being shared twice.
    // The reason was told above.
    say(QStringLiteral("分享记录无法写入，没有开始分享：请让数据文件夹%1可以写入后再运行")
            .arg(QDir::toNativeSeparators(line.config().stateDir)));
    return kExitFolderInUse;
  }
  const QString interrupted = journal.resumeRunState();
  const std::optional<JournalPass>& last = journal.snapshot().pass;
  if (resume && last && journal.resumeRow() >= 0) {
    // The pass goes on as it ran, but for what the command line says now.
    engine.setPass(*last);
    settings.apply(last->settings);
    if (line.parser().isSet(periodOption) || last->settings.periodSeconds <= 0)
      settings.periodSeconds = *period;
    if (line.parser().isSet(loopOption)) settings.loop = true;
    if (line.parser().isSet(commentOption)) settings.comment = true;
    if (line.parser().isSet(jitterOption)) settings.jitterMaxMicros = std::llround(*jitter * 1e6);
    say(QStringLiteral("从第%1个地址继续上次中断的分享").arg(journal.resumeRow() + 1));
  } else if (resume) {
    // The journal changed between the look above and now (it cannot while
    // the lock is held, but a fresh pass is never what --resume means).
    say(QStringLiteral("上次的分享已经完成"));
    return kExitOk;
  } else {
    if (!interrupted.isEmpty())
      say(interrupted.section(u'，', 0, 0) + QStringLiteral("；本次重新开始"));
    // A run of FILE is a list of its own, as after 清空列表 and 导入地址,
    // shared from the file's first line to its last.
    list.clear();
    engine.failedAddresses().clear();
    engine.resetRunState();
    list.insertRows(0, input.addresses());
    const QString imported = importedText(list.rowCountInt(), input.blankLines());
    Q_EMIT engine.importedText(imported);
    say(imported);
  }

  RunReport::Options reportOptions;
  reportOptions.json = line.parser().isSet(jsonOption);
  reportOptions.verbose = line.parser().isSet(verboseOption);
  // For the time left before a row has finished: the designed time a row takes.
  reportOptions.designedRowSeconds =
      double(designedRowMicros(settings.periodSeconds.value_or(0.0))) / 1e6;
  reportOptions.pacing = pacingText(settings.periodSeconds.value_or(0.0), settings.jitterMaxMicros);
  reportOptions.designedRowSeconds *= timeScale();
  reportOptions.onOutputError = [&engine] { engine.requestStop(); };
  RunReport report(list, reportOptions);
  settings.onPacingWait = [&report](std::int64_t micros) { report.pacingWait(micros); };

  bool started = false;
  QObject::connect(&engine, &ShareEngine::passStarted, [&](int row) {
    started = true;
    report.passStarted(row);
  });
  QObject::connect(&engine, &ShareEngine::rowFinished, [&](int row) { report.rowFinished(row); });
  QObject::connect(&engine, &ShareEngine::progressText,
                   [&](const QString& text) { report.statusText(text); });
  // A hold of the pass: on the progress line and, with --json, as events.
  // Nobody can sign in during a terminal run: a signed-out pass ends, kept
  // interrupted at its row, for --resume after 'quillet login'.
  engine.setEndWhenSignedOut(true);
  // A desktop user away from the terminal hears of holds and of the end.
  PassNotices notices(
      engine, list,
      QStringLiteral("运行 quillet login 后用 quillet run %1 --resume 继续").arg(file));
  QObject::connect(&engine, &ShareEngine::holdStarted, [&](const JournalHold& hold) {
    const int position = list.rowOf(hold.row);
    report.holdStarted(holdReasonText(hold.kind), holdReasonKey(hold.kind),
                       position < 0 ? list.rowCountInt() : position + 1, hold.untilMs);
  });
  QObject::connect(&engine, &ShareEngine::holdEnded,
                   [&](const JournalHold&) { report.holdEnded(); });
  QObject::connect(&engine, &ShareEngine::rowReleased, [&](int row) { report.rowReleased(row); });

  QObject::connect(&stops, &StopSignals::stopRequested, &engine, &ShareEngine::requestStop);
  // The pass runs here, to its end or to a stop; its waits keep the event
  // loop, and with it the signal pipe, working.
  if (stops.received() != 0) return StopSignals::exitStatusFor(stops.received());
  engine.onPublishClicked();
  if (!started) return kExitUsage;  // refused: the reason is on standard error

  const int stopSignal = stops.received();
  const HoldEnding holdEnding = engine.holdEnding();
  // A pass stopped by a signal stays interrupted (unless its last row was
  // done, when it is finished): --resume goes on with it. So does a pass
  // that the site signed out or that gave up on an unreachable site.
  const bool stopped = stopSignal != 0 || report.outputFailed() || holdEnding != HoldEnding::None;
  if (stopped) journal.keepInterrupted();
  QString note;
  if (holdEnding == HoldEnding::SignedOut) {
    note = QStringLiteral(
               "网站的登录已失效（会话已结束），分享在第%1个地址中断：运行 quillet login "
               "登录后，用 quillet run %2 --resume 从这里继续")
               .arg(engine.currentRow() + 1)
               .arg(file);
  } else if (holdEnding == HoldEnding::GaveUp) {
    note = QStringLiteral(
               "网站一直无法访问，分享在第%1个地址中断：网站恢复后用 quillet run %2 "
               "--resume 从这里继续")
               .arg(engine.currentRow() + 1)
               .arg(file);
  }
  report.finish(signalName(stopSignal), note);
  const bool csvWritten = input.commitCsv(RunReport::csvFileBytes(list));
  if (stopSignal != 0) return StopSignals::exitStatusFor(stopSignal);
  if (holdEnding == HoldEnding::SignedOut) return kExitNotSignedIn;
  if (holdEnding == HoldEnding::GaveUp) return kExitUnreachable;
  if (report.outputFailed() || !csvWritten) return kExitRowsFailed;
  return report.failed() + report.wrongAddress() > 0 ? kExitRowsFailed : kExitOk;
}

}  // namespace quillet::term
