#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <cstdint>
#include <optional>

namespace quillet {

/// A row's identity: its journal key. It never changes while the row
/// exists and is never given to another row; positions are for display.
using RowKey = qint64;
/// A pass's identity in the journal (0: not recorded, the journal is off).
using PassKey = qint64;

/// How far a pass got with one row, as the older API and the first journal
/// version named the marks: an attempt's "address entered" and "confirm
/// clicked" marks.
enum class RowStep : int {
  None = 0,            // no step of a pass is pending on this row
  AddressEntered = 1,  // the address was submitted; nothing shared yet
  ConfirmClicked = 2,  // the share was confirmed; its result is not known
};

/// One row of the address list as the journal keeps it.
struct JournalRow {
  QString address;
  QString status;
  QString publishTime;
  RowKey key = 0;  // 0: not given yet (the journal assigns one)

  /// Equal as the list shows them: the key is not compared.
  friend bool operator==(const JournalRow& a, const JournalRow& b) {
    return a.address == b.address && a.status == b.status && a.publishTime == b.publishTime;
  }
};

/// A pass's settings as typed values, read once where they enter (the
/// window's controls, the command line) and kept with the pass.
struct PassSettings {
  double periodSeconds = 0.0;  // 0: not known (a pass of an older journal)
  bool loop = false;
  bool comment = false;
  double jitterSeconds = 0.0;

  friend bool operator==(const PassSettings&, const PassSettings&) = default;
};

/// What started a pass.
enum class PassKind : int {
  Publish = 0,  // "发表": the whole list
  Resend = 1,   // "失败重发": the failed addresses
  FromRow = 2,  // "从此行开始分享": the list from one row on
};

enum class PassState : int {
  Running = 0,   // under way (or interrupted, when found so at start-up)
  Stopped = 1,   // the user stopped it; "发表" goes on with it
  Finished = 2,  // every row of it has its outcome
};

/// Why a pass holds at a row: the site's session ended (its login form came
/// back), the account was turned away for sharing too often, or the site's
/// pages could not be loaded.
enum class HoldKind : int {
  SignedOut = 1,
  Muted = 2,
  SiteDown = 3,
};

/// A hold that a pass is in: kept with the pass, so that a program that
/// ends during it (a crash, a stop) goes on with the same hold.
struct JournalHold {
  HoldKind kind = HoldKind::Muted;
  RowKey row = 0;           // the row the pass goes on with when the hold ends
  qint64 untilMs = 0;       // when the wait ends (ms since the epoch, UTC); 0: not timed
  QList<RowKey> retryRows;  // rows to try again after it (their earlier try was turned away)
  QByteArray policy;        // the hold decisions' state (HoldPolicy::saved())

  friend bool operator==(const JournalHold&, const JournalHold&) = default;
};

/// A pass: the rows it visits in the order fixed when it started, its
/// settings, its state. Where it is follows from its attempts: the next
/// row without an outcome (or a confirm) in this pass.
struct JournalPass {
  PassKey key = 0;
  PassKind kind = PassKind::Publish;
  PassState state = PassState::Running;
  PassSettings settings;
  QString sourceFile;            // the file a terminal run imported; empty from the window
  QList<RowKey> rows;            // visiting order
  QSet<RowKey> done;             // rows with an outcome or a confirm mark in this pass
  std::int32_t failedCount = 0;  // this pass's failures (the failed list's head)
  /// The greatest row key when the pass started: rows with greater keys
  /// came into the list later and are not part of it.
  RowKey lastKeyAtStart = 0;
  /// The hold the pass is in, if any.
  std::optional<JournalHold> hold;
};

/// Everything a journal gives back at start-up.
struct JournalSnapshot {
  QList<JournalRow> rows;  // in list order
  QStringList failed;      // the failed-address list, in its order
  QString importedText;    // status-bar part 2, empty when never written
  /// The latest pass, if any was ever recorded.
  std::optional<JournalPass> pass;
  /// When that pass was under way as the program ended (or was stopped)
  /// and has rows left: the 0-based list position of the row it goes on
  /// with, else -1. A pass without rows left comes back finished.
  std::int32_t resumeRow = -1;
  /// Rows that came back as unconfirmed for the first time (their confirm
  /// was clicked, their result never recorded).
  int unconfirmedCount = 0;
  /// The file could be read but not written: shown as it is, recorded
  /// nowhere.
  bool readOnly = false;
  /// The journal turned itself off during the last session (a full disk):
  /// its record ends where writing stopped. The pass it showed under way is
  /// not offered again (resumeRow is -1); it is recorded as finished.
  bool stale = false;
};

/// The status of a row that may or may not have been shared.
inline QString unconfirmedStatus() {
  return QStringLiteral("未确认");
}

/// The outcome an attempt gets when a site-wide hold turned it away: the row
/// had no result of its own and the pass tries it again.
inline QString retriedOutcome() {
  return QStringLiteral("重试");
}

}  // namespace quillet
