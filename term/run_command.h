#pragma once

#include <QString>

#include "term/run_input.h"
#include "term/session_command.h"

namespace quillet {
class AddressListModel;
class ShareEngine;
class ShareJournal;
}  // namespace quillet

namespace quillet::term {

class RunReport;
class RunSettings;

/// `quillet run FILE`: imports FILE as "导入地址" does and runs the share
/// engine over it, one pass or looping, with the kept session of `quillet
/// login`. Results on standard output as rows finish, progress on standard
/// error. Exit 0 every row 成功, 1 some row 失败 or 地址错误, 2 usage,
/// 3 not signed in, 4 site unreachable, 5 data folder in use, 130/143
/// stopped by SIGINT/SIGTERM. The list and every row's progress go into the
/// data folder's journal as the window's do; --resume goes on from there.
class RunCommand : public SessionCommand {
 public:
  static constexpr char kName[] = "run";
  static constexpr char kSummary[] =
      "share every address of a file, with results on standard output";

  explicit RunCommand(QString programDir);

 protected:
  QList<QCommandLineOption> options() const override;
  /// The period, the jitter, FILE and the --csv file.
  Step checkArguments() override;
  /// Results to a closed pipe show as errors; --resume with nothing to go on
  /// with ends here, before the browser and the site.
  Step beforeBrowser() override;
  int work(HeadlessBrowser& session, StopSignals& stops) override;

 private:
  /// What --resume would go on with, from the journal alone.
  Step checkResumable() const;
  /// The settings the command line gives, for a new pass.
  void applyOptions(RunSettings& settings) const;
  /// The journal of the data folder, opened and restored; a run whose
  /// results could be kept nowhere does not start.
  Step openJournal(ShareJournal& journal) const;
  /// The list the pass shares: the interrupted pass of the journal with
  /// --resume, else FILE's addresses as a list of its own.
  Step loadList(AddressListModel& list, ShareEngine& engine, ShareJournal& journal,
                RunSettings& settings) const;
  /// The report told of the pass's start (`started` set), rows and status texts.
  void connectProgress(ShareEngine& engine, RunReport& report, bool& started) const;
  /// The report told of the pass's holds and of rows tried again.
  void connectHolds(ShareEngine& engine, const AddressListModel& list, RunReport& report) const;
  /// After the pass: the journal's state, the summary, the --csv file and
  /// the exit status.
  int finishRun(ShareEngine& engine, const AddressListModel& list, ShareJournal& journal,
                RunReport& report, int stopSignal);

  const QCommandLineOption periodOption_;
  const QCommandLineOption loopOption_;
  const QCommandLineOption commentOption_;
  const QCommandLineOption jitterOption_;
  const QCommandLineOption csvOption_;
  const QCommandLineOption jsonOption_;
  const QCommandLineOption resumeOption_;
  const QCommandLineOption verboseOption_;

  // Read and checked by checkArguments().
  double period_ = 0;
  double jitter_ = 0;
  QString file_;
  QString sourceFile_;  // FILE's absolute path, as the journal keeps it
  bool resume_ = false;
  RunInput input_;
};

}  // namespace quillet::term
