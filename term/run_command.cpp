#include "term/run_command.h"

#include <signal.h>

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <csignal>
#include <optional>

#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "journal/journal.h"
#include "share/address_import.h"
#include "share/address_list_model.h"
#include "share/pass_notices.h"
#include "share/row_pacing.h"
#include "share/share_engine.h"
#include "share/share_journal.h"
#include "share/site_hold.h"
#include "site/site_profile.h"
#include "site/time_scale.h"
#include "term/exit_status.h"
#include "term/headless_browser.h"
#include "term/run_report.h"
#include "term/run_settings.h"
#include "term/say.h"
#include "term/stop_signals.h"

namespace quillet::term {
namespace {

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

// What the report needs to know of the pass's settings.
RunReport::Options reportOptions(const RunSettings& settings, bool json, bool verbose) {
  RunReport::Options options;
  options.json = json;
  options.verbose = verbose;
  // For the time left before a row has finished: the designed time a row takes.
  options.designedRowSeconds =
      double(designedRowMicros(settings.periodSeconds.value_or(0.0))) / 1e6;
  options.pacing = pacingText(settings.periodSeconds.value_or(0.0), settings.jitterMaxMicros);
  options.designedRowSeconds *= timeScale();
  return options;
}

}  // namespace

RunCommand::RunCommand(QString programDir)
    : SessionCommand(
          std::move(programDir), QString::fromLatin1(kName), QStringLiteral("FILE [options]"),
          QStringLiteral(
              "Imports FILE (one item address per line, GBK or UTF-8) as 导入地址 does and shares "
              "every address through the site, as 发表 does, with the session of 'quillet "
              "login'.\n"
              "Results go to standard output as rows finish (CSV 地址,状态,发布时间, or JSON "
              "lines); progress to standard error. SIGINT or SIGTERM stops at the next step.\n"
              "FILE, the period and the --csv file are checked before anything changes.\n"
              "Exit status: 0 every row 成功, 1 some row 失败 or 地址错误, or the results could "
              "not be written (standard output or the --csv file), 2 usage, unreadable or empty "
              "FILE, period below 21, --csv file that cannot be written, 3 not signed in (or the "
              "site ended the session during the pass: after 'quillet login', --resume goes on "
              "at its row), 4 site unreachable (or down during the pass past "
              "outageGiveUpMinutes), 5 the data folder is in use by another Quillet, cannot be "
              "locked, or its journal cannot be written, 130/143/129 stopped by "
              "SIGINT/SIGTERM/SIGHUP."),
          1),
      periodOption_(QStringLiteral("period"),
                    QStringLiteral("Seconds per address, 21 or more (default 21)."),
                    QStringLiteral("S"), QStringLiteral("21")),
      loopOption_(QStringLiteral("loop"),
                  QStringLiteral("Start over at the end of the list (循环分享).")),
      commentOption_(QStringLiteral("comment"),
                     QStringLiteral("Add a random comment to each share.")),
      jitterOption_(QStringLiteral("jitter"),
                    QStringLiteral("Add a random 0 to S seconds to each address's final wait."),
                    QStringLiteral("S")),
      csvOption_(QStringLiteral("csv"),
                 QStringLiteral("Also write the whole list as CSV to FILE at the end (UTF-8 with a "
                                "byte-order mark, as 导出结果 writes it). FILE is opened before "
                                "the pass."),
                 QStringLiteral("FILE")),
      jsonOption_(QStringLiteral("json"), QStringLiteral("Results as JSON lines instead of CSV.")),
      resumeOption_(
          QStringLiteral("resume"),
          QStringLiteral(
              "Go on with the pass that was interrupted in this data folder (its rows and "
              "settings are in the journal; a row whose confirm was clicked but never read "
              "stays 未确认 and is not sent again). Never starts a new pass: when the last "
              "pass finished it says so and exits 0; FILE must be the file the pass came "
              "from (exit 2 otherwise). Options given override the pass's settings.")),
      verboseOption_(
          QStringLiteral("verbose"),
          QStringLiteral("Also log the engine's status texts and each final pacing wait.")) {}

QList<QCommandLineOption> RunCommand::options() const {
  return {periodOption_, loopOption_, commentOption_, jitterOption_,
          csvOption_,    jsonOption_, verboseOption_, resumeOption_};
}

SessionCommand::Step RunCommand::checkArguments() {
  const QCommandLineParser& parser = line().parser();
  // The settings are read here once, as typed values; an explicitly given
  // option also overrides the settings of a pass that goes on.
  // Whether the period is long enough is the engine's own check, with the
  // window's refusal text; a period that is no number at all is a usage error.
  const std::optional<double> period = secondsOption(parser.value(periodOption_));
  if (!period) return refuse(QStringLiteral("--period takes seconds"));
  period_ = *period;
  if (parser.isSet(jitterOption_)) {
    const std::optional<double> jitter = secondsOption(parser.value(jitterOption_));
    if (!jitter) return refuse(QStringLiteral("--jitter takes seconds, 0 or more"));
    jitter_ = *jitter;
  }
  file_ = parser.positionalArguments().constFirst();
  // Everything the run is asked for is read and checked here, before the
  // data folder is touched: a refusal (status 2) changes nothing.
  if (!input_.prepare(file_, period_, parser.value(csvOption_))) return kExitUsage;
  sourceFile_ = QFileInfo(file_).absoluteFilePath();
  resume_ = parser.isSet(resumeOption_);
  return std::nullopt;
}

SessionCommand::Step RunCommand::beforeBrowser() {
  // Results go to a pipe or a file; one that closes must show as EPIPE, not
  // end the process before the journal knows where the pass stands.
  std::signal(SIGPIPE, SIG_IGN);
  // What --resume would go on with is known from the journal alone: a run
  // that has nothing to go on with ends here, before the browser and the site.
  if (resume_) return checkResumable();
  return std::nullopt;
}

SessionCommand::Step RunCommand::checkResumable() const {
  Journal peek;
  peek.open(line().config().stateDir);
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
  if (!pass->sourceFile.isEmpty() && pass->sourceFile != sourceFile_) {
    say(QStringLiteral("中断的分享来自文件 %1，不是 %2：用这个文件加 --resume 继续，"
                       "或不带 --resume 重新开始")
            .arg(QDir::toNativeSeparators(pass->sourceFile),
                 QDir::toNativeSeparators(sourceFile_)));
    return kExitUsage;
  }
  return std::nullopt;
}

int RunCommand::work(HeadlessBrowser& session, StopSignals& stops) {
  // From here a signal ends the run in order: before the pass, without
  // starting it; within it, at the engine's next step boundary.
  stops.setAtOnce(false);
  if (stops.received() != 0) return StopSignals::exitStatusFor(stops.received());

  AddressListModel list;
  RunSettings settings;
  applyOptions(settings);
  const std::unique_ptr<SitePage> page = browserSitePage(session.browser());
  ShareEngine engine(list, settings, page.get(), line().profile());
  engine.setSourceFile(sourceFile_);
  // What the window puts in a message box goes to standard error as a line.
  QObject::connect(&engine, &ShareEngine::refused,
                   [](Refusal reason) { say(refusalText(reason)); });
  // The list as the journal holds it, and every change recorded from here
  // on before the pass takes its next page step.
  ShareJournal journal(list, engine.failedAddresses(), engine);
  QObject::connect(&journal, &ShareJournal::problem, [](const QString& text) { say(text); });
  if (const Step ended = openJournal(journal)) return *ended;
  if (const Step ended = loadList(list, engine, journal, settings)) return *ended;

  RunReport::Options options = reportOptions(settings, line().parser().isSet(jsonOption_),
                                             line().parser().isSet(verboseOption_));
  options.onOutputError = [&engine] { engine.requestStop(); };
  RunReport report(list, options);
  settings.onPacingWait = [&report](std::int64_t micros) { report.pacingWait(micros); };
  bool started = false;
  connectProgress(engine, report, started);
  // Nobody can sign in during a terminal run: a signed-out pass ends, kept
  // interrupted at its row, for --resume after 'quillet login'.
  engine.setEndWhenSignedOut(true);
  // A desktop user away from the terminal hears of holds and of the end.
  PassNotices notices(
      engine, list,
      QStringLiteral("运行 quillet login 后用 quillet run %1 --resume 继续").arg(file_));
  connectHolds(engine, list, report);

  QObject::connect(&stops, &StopSignals::stopRequested, &engine, &ShareEngine::requestStop);
  // The pass runs here, to its end or to a stop; its waits keep the event
  // loop, and with it the signal pipe, working.
  if (stops.received() != 0) return StopSignals::exitStatusFor(stops.received());
  engine.publish();
  if (!started) return kExitUsage;  // refused: the reason is on standard error
  return finishRun(engine, list, journal, report, stops.received());
}

void RunCommand::applyOptions(RunSettings& settings) const {
  const QCommandLineParser& parser = line().parser();
  settings.periodSeconds = period_;
  settings.loop = parser.isSet(loopOption_);
  settings.comment = parser.isSet(commentOption_);
  settings.pool = line().profile().comments;
  settings.jitterMaxMicros = std::llround(jitter_ * 1e6);
}

SessionCommand::Step RunCommand::openJournal(ShareJournal& journal) const {
  journal.openAndRestore(line().config().stateDir);
  if (journal.isActive()) return std::nullopt;
  // The window may go on in memory; a run whose results are kept nowhere
  // could neither be resumed nor keep an item from being shared twice.
  // The reason was told above.
  say(QStringLiteral("分享记录无法写入，没有开始分享：请让数据文件夹%1可以写入后再运行")
          .arg(QDir::toNativeSeparators(line().config().stateDir)));
  return kExitFolderInUse;
}

SessionCommand::Step RunCommand::loadList(AddressListModel& list, ShareEngine& engine,
                                          ShareJournal& journal, RunSettings& settings) const {
  const QCommandLineParser& parser = line().parser();
  const QString interrupted = journal.resumeRunState();
  const std::optional<JournalPass>& last = journal.snapshot().pass;
  if (resume_ && last && journal.resumeRow() >= 0) {
    // The pass goes on as it ran, but for what the command line says now.
    engine.setPass(*last);
    settings.apply(last->settings);
    if (parser.isSet(periodOption_) || last->settings.periodSeconds <= 0)
      settings.periodSeconds = period_;
    if (parser.isSet(loopOption_)) settings.loop = true;
    if (parser.isSet(commentOption_)) settings.comment = true;
    if (parser.isSet(jitterOption_)) settings.jitterMaxMicros = std::llround(jitter_ * 1e6);
    say(QStringLiteral("从第%1个地址继续上次中断的分享").arg(journal.resumeRow() + 1));
    return std::nullopt;
  }
  if (resume_) {
    // The journal changed between the look above and now (it cannot while
    // the lock is held, but a fresh pass is never what --resume means).
    say(QStringLiteral("上次的分享已经完成"));
    return kExitOk;
  }
  if (!interrupted.isEmpty())
    say(interrupted.section(u'，', 0, 0) + QStringLiteral("；本次重新开始"));
  // A run of FILE is a list of its own, as after 清空列表 and 导入地址,
  // shared from the file's first line to its last.
  list.clear();
  engine.failedAddresses().clear();
  engine.resetRunState();
  list.insertRows(0, input_.addresses());
  const QString imported = importedText(list.rowCountInt(), input_.blankLines());
  Q_EMIT engine.importedText(imported);
  say(imported);
  return std::nullopt;
}

void RunCommand::connectProgress(ShareEngine& engine, RunReport& report, bool& started) const {
  QObject::connect(&engine, &ShareEngine::passStarted, [&started, &report](int row) {
    started = true;
    report.passStarted(row);
  });
  QObject::connect(&engine, &ShareEngine::rowFinished,
                   [&report](int row) { report.rowFinished(row); });
  QObject::connect(&engine, &ShareEngine::progressText,
                   [&report](const QString& text) { report.statusText(text); });
}

void RunCommand::connectHolds(ShareEngine& engine, const AddressListModel& list,
                              RunReport& report) const {
  // A hold of the pass: on the progress line and, with --json, as events.
  QObject::connect(&engine, &ShareEngine::holdStarted, [&list, &report](const JournalHold& hold) {
    const int position = list.rowOf(hold.row);
    report.holdStarted(holdReasonText(hold.kind), holdReasonKey(hold.kind),
                       position < 0 ? list.rowCountInt() : position + 1, hold.untilMs);
  });
  QObject::connect(&engine, &ShareEngine::holdEnded,
                   [&report](const JournalHold&) { report.holdEnded(); });
  QObject::connect(&engine, &ShareEngine::rowReleased,
                   [&report](int row) { report.rowReleased(row); });
}

int RunCommand::finishRun(ShareEngine& engine, const AddressListModel& list, ShareJournal& journal,
                          RunReport& report, int stopSignal) {
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
               .arg(file_);
  } else if (holdEnding == HoldEnding::GaveUp) {
    note = QStringLiteral(
               "网站一直无法访问，分享在第%1个地址中断：网站恢复后用 quillet run %2 "
               "--resume 从这里继续")
               .arg(engine.currentRow() + 1)
               .arg(file_);
  }
  report.finish(signalName(stopSignal), note);
  const bool csvWritten = input_.commitCsv(RunReport::csvFileBytes(list));
  if (stopSignal != 0) return StopSignals::exitStatusFor(stopSignal);
  if (holdEnding == HoldEnding::SignedOut) return kExitNotSignedIn;
  if (holdEnding == HoldEnding::GaveUp) return kExitUnreachable;
  if (report.outputFailed() || !csvWritten) return kExitRowsFailed;
  return report.failed() + report.wrongAddress() > 0 ? kExitRowsFailed : kExitOk;
}

}  // namespace quillet::term
