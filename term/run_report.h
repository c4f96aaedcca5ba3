#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <cstdio>
#include <functional>

#include "share/row_pacing.h"
#include "term/progress_line.h"
#include "term/result_lines.h"

namespace quillet {
class AddressListModel;
}

namespace quillet::term {

/// What `quillet run` tells while a pass goes on: each finished row on
/// standard output (CSV, or JSON lines), the progress on standard error (a
/// live line on a terminal, one plain line per row otherwise) and the
/// summary at the end.
class RunReport {
 public:
  struct Options {
    bool json = false;
    bool verbose = false;
    double designedRowSeconds = 0;  // for the time left before a row finished
    QString pacing;                 // what the period gives, told as the run starts
    /// Called once when standard output cannot be written (a closed pipe, a
    /// full disk): the results are being lost, so the run should stop.
    std::function<void()> onOutputError;
  };
  RunReport(const AddressListModel& list, Options options);

  /// A pass begins at the 0-based `row`. The first one writes the CSV header:
  /// a run refused before its pass writes nothing to standard output.
  void passStarted(int row);
  /// The row's outcome is in the list: print it and count it.
  void rowFinished(int row);
  /// The engine's own status text ("正在分享第N个地址", "发布完毕", ...).
  void statusText(const QString& text);
  /// A designed pacing wait of `micros` (unscaled) starts.
  void pacingWait(std::int64_t micros);
  /// The pass holds at the 1-based `rowNumber` (`reason` as the window says
  /// it, `reasonKey` as the JSON event names it; `untilMs` 0 when untimed).
  void holdStarted(const QString& reason, const QString& reasonKey, int rowNumber, qint64 untilMs);
  /// The hold is over; the pass goes on.
  void holdEnded();
  /// A row reported before is tried again (the site turned every share
  /// away): its result no longer counts.
  void rowReleased(int row);
  /// Ends the live line and prints the summary; `stopped` names the signal
  /// that ended the run, if one did; `note` is said after the counts.
  void finish(const QString& stopped, const QString& note = {});

  int succeeded() const { return progress_.succeeded; }
  int failed() const { return progress_.failed; }
  int wrongAddress() const { return progress_.wrongAddress; }
  /// Rows whose confirm was clicked and whose result could not be read.
  int unconfirmed() const { return unconfirmed_; }
  int finishedRows() const { return finished_; }
  /// Standard output could not be written (the reason is on standard error).
  bool outputFailed() const { return outputFailed_; }

  /// The whole list as the --csv file holds it: UTF-8 with a byte-order
  /// mark, as the window's 导出结果 writes it, the header, a record per row.
  static QByteArray csvFileBytes(const AddressListModel& list);
  /// One row of the list as reported.
  static RowResult resultOf(const AddressListModel& list, int row);

 private:
  void showProgress(bool newRow);
  void printErr(const QString& text);
  void writeOut(const QString& text);

  const AddressListModel& list_;
  Options options_;
  bool live_;
  bool liveLineShown_ = false;
  PassProgress progress_;
  int finished_ = 0;
  int unconfirmed_ = 0;
  int rowsDoneThisPass_ = 0;
  bool headerWritten_ = false;
  bool outputFailed_ = false;
  QElapsedTimer passClock_;
  RowPaceMeter rowPace_;
  bool runStarted_ = false;
  QString holdKey_;  // the reason of the hold the pass is in, for its end event
  int holdRow_ = 0;
  QHash<int, QString> reported_;  // rows reported, with the status they were counted as
};

}  // namespace quillet::term
