#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "journal/journal_types.h"

namespace quillet {

class AddressListModel;
class FailedAddresses;
class Journal;
class JournalRecorder;
class ShareEngine;

/// The sharing state's journal at work: opens `quillet.db` in the data
/// folder, puts its contents back into the list, the failed list and the
/// engine at start-up, and records every change from then on. The engine's
/// signals and the lists' change signals arrive directly, so each change is
/// committed before the pass takes its next page step. Problems with the
/// file are told once, through `problem`; the program goes on in memory.
class ShareJournal : public QObject {
  Q_OBJECT

 public:
  ShareJournal(AddressListModel& list, FailedAddresses& failed, ShareEngine& engine,
               QObject* parent = nullptr);
  ~ShareJournal() override;

  /// Opens the journal in `dataDir` and restores what it holds into the
  /// list and the failed list (a broken file or an unwritable folder is
  /// told through `problem` before this returns). Returns the status-bar
  /// part 2 text to show (empty when there is none).
  QString openAndRestore(const QString& dataDir);
  /// Gives the engine the restored interrupted pass (after the window's
  /// start-up has reset it): the next "发表" goes on with it. Returns the
  /// status-bar part 1 text for it, or empty. Passes are recorded from here
  /// on.
  QString resumeRunState();

  /// Records the pass that just stopped as still interrupted: a terminal
  /// run ended by a signal goes on with it with --resume, as after a crash.
  void keepInterrupted();
  bool isActive() const;
  /// Where the engine will go on, 0-based; -1 when nothing was interrupted.
  int resumeRow() const { return snapshot_.resumeRow; }
  /// What the journal held at start-up.
  const JournalSnapshot& snapshot() const { return snapshot_; }
  /// "数据文件…只能读取…" for a journal shown but not written.
  static QString readOnlyText(const QString& path);
  /// "上次运行时数据文件…停止了记录…" for a journal whose last session ran
  /// on after it turned itself off: its interrupted pass is not offered.
  static QString staleText(const QString& path);

  /// "上次分享在第N个地址中断，登录后按“发表”继续" for the 1-based row.
  static QString interruptedText(int rowNumber);
  /// The title of the window's message box for a problem.
  static QString messageTitle();

 Q_SIGNALS:
  /// The journal cannot do its work (it is read-only, out of date, or has
  /// turned itself off): `text` says what and what it means. Sent once for
  /// each such problem; a person must hear of it.
  void problem(const QString& text);

 private:
  void recordPass();
  void onPassStarted();
  void tell(const QString& text);

  AddressListModel& list_;
  FailedAddresses& failed_;
  ShareEngine& engine_;
  std::unique_ptr<Journal> journal_;
  std::unique_ptr<JournalRecorder> recorder_;
  JournalSnapshot snapshot_;
  bool restoring_ = false;
  // Passes are recorded only once the restored one has been handed to the
  // engine: the window's start-up resets the engine first, and that reset
  // must not touch the interrupted pass.
  bool runStateLive_ = false;
};

}  // namespace quillet
