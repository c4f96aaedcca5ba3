#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "journal/journal_types.h"

class QWidget;

namespace quillet {

class AddressListModel;
class Dialogs;
class FailedAddresses;
class Journal;
class JournalRecorder;
class ShareEngine;

/// The sharing state's journal at work: opens `quillet.db` in the data
/// folder, puts its contents back into the list, the failed list and the
/// engine at start-up, and records every change from then on. The engine's
/// signals and the lists' change signals arrive directly, so each change is
/// committed before the pass takes its next page step. Problems with the
/// file are told once in a message box; the program goes on in memory.
class ShareJournal : public QObject {
  Q_OBJECT

 public:
  ShareJournal(AddressListModel& list, FailedAddresses& failed, ShareEngine& engine,
               Dialogs& dialogs, QWidget* dialogParent, QObject* parent = nullptr);
  ~ShareJournal() override;

  /// Opens the journal in `dataDir` and restores what it holds into the
  /// list and the failed list (a broken file or an unwritable folder is
  /// told in a message box). Returns the status-bar part 2 text to show
  /// (empty when there is none).
  QString openAndRestore(const QString& dataDir);
  /// Gives the engine the restored run state (after the window's start-up
  /// has reset it): an interrupted pass goes on at its row on the next
  /// "发表". Returns the status-bar part 1 text for it, or empty. The run
  /// state is recorded from here on.
  QString resumeRunState();

  /// Records the pass that just stopped as still interrupted, at the place
  /// the engine keeps: a terminal run ended by a signal goes on there with
  /// --resume, as after a crash.
  void keepInterrupted();
  bool isActive() const;
  /// Where the engine will go on, 0-based; -1 when nothing was interrupted.
  int resumeRow() const { return snapshot_.resumeRow; }

  /// "上次分享在第N个地址中断，登录后按“发表”继续" for the 1-based row.
  static QString interruptedText(int rowNumber);
  static QString messageTitle();

 private:
  void recordRunState();
  void onProgressText(const QString& text);
  void tell(const QString& text);

  AddressListModel& list_;
  FailedAddresses& failed_;
  ShareEngine& engine_;
  Dialogs& dialogs_;
  QWidget* dialogParent_;
  std::unique_ptr<Journal> journal_;
  std::unique_ptr<JournalRecorder> recorder_;
  JournalSnapshot snapshot_;
  bool restoring_ = false;
  // Whether the journal says a pass is under way. It stays true when a pass
  // ends without finishing or being stopped (the program is quitting), so
  // that the next start offers to go on.
  bool running_ = false;
  // The engine's run state is recorded only once the restored one has been
  // handed to it: the window's start-up resets it first, and that reset
  // must not overwrite an interrupted pass's place.
  bool runStateLive_ = false;
};

}  // namespace quillet
