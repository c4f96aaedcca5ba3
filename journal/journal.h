#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "journal/journal_types.h"

class QSqlDatabase;
class QSqlError;

namespace quillet {

/// The durable copy of the address list, the failed-address list, the
/// passes and the history of every attempt: `quillet.db` in the data folder, SQLite in WAL mode
/// with synchronous=FULL. Every write commits before it returns, so that what the caller recorded
/// survives a crash or a power cut from then on; a batch (an import, a replaced list) is one
/// transaction.
///
/// A file that is not a usable journal (not a database, corrupted, another
/// program's, or from a newer version) is renamed aside, never overwritten,
/// and a new journal starts. When the folder cannot be written (read-only,
/// disk full) the journal turns itself off, says so once, and every later
/// write is a no-op: the program goes on with its lists in memory.
class Journal : public QObject {
  Q_OBJECT

 public:
  explicit Journal(QObject* parent = nullptr);
  ~Journal() override;

  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  /// The journal's file name inside the data folder.
  static QString fileName();

  /// Opens (or creates) the journal in `dataDir`, creating the folder.
  /// False when the journal stays off; message() then says why. A broken
  /// file is renamed and a new journal opened (true, with a message).
  bool open(const QString& dataDir);
  /// Closes the file; later writes are no-ops.
  void close();

  bool isActive() const;
  /// What the user should be told after open(), or after the journal turned
  /// itself off; empty when there is nothing to say.
  QString message() const { return message_; }
  /// Where a broken file was moved to by open(); empty when none was.
  QString brokenFilePath() const { return brokenPath_; }
  QString filePath() const { return path_; }
  /// The Qt SQL connection of the open journal (for tools that inspect it).
  QString connectionName() const { return connection_; }

  /// Reads everything back, then settles what a crash left pending if it
  /// can write: a row whose latest attempt has a confirm mark and no outcome
  /// is "未确认" (it may have been shared), and its address leaves the failed
  /// list (a re-send must not share it again). A pass that was under way and
  /// has no row left is recorded as finished. A journal that cannot be
  /// written is read all the same (snapshot.readOnly; message() says why)
  /// and stays off.
  JournalSnapshot restore();

  // Writes. Each commits before returning and is false when the journal
  // is off (or has just turned itself off because of this write).

  /// Replaces the whole list, in one transaction. Rows without a key get one.
  bool replaceRows(const QList<JournalRow>& rows);
  /// Inserts new rows (empty status and time) for `addresses`, in the given
  /// order, at `position` (clamped to the list). `keys` are the rows' keys
  /// (one per address); without them the journal assigns new ones.
  bool insertRows(int position, const QStringList& addresses, const QList<RowKey>& keys = {});
  /// Removes `count` rows from `position` on.
  bool removeRows(int position, int count);
  /// Removes the rows with these keys, in one transaction.
  bool removeKeys(const QList<RowKey>& keys);
  /// Sets a row's status; recording a status settles the row's open attempt
  /// (an empty status clears it: the row is no longer "未确认").
  bool setStatus(int row, const QString& status);
  bool setPublishTime(int row, const QString& publishTime);
  /// Status and time of one row in one commit; settles its open attempt.
  bool setOutcome(int row, const QString& status, const QString& publishTime);
  bool setRowStatus(RowKey key, const QString& status);
  bool setRowPublishTime(RowKey key, const QString& publishTime);
  bool setRowOutcome(RowKey key, const QString& status, const QString& publishTime);
  /// Status and time of the rows from `first` on, in one transaction.
  bool updateRows(int first, const QList<JournalRow>& rows);
  /// Empties the status of every row (keeps the times), in one statement.
  bool clearStatuses();
  /// Empties the status of the rows with these keys, in one transaction.
  bool clearStatusOf(const QList<RowKey>& keys);
  /// A mark of the row's attempt in the pass under way (an attempt is begun
  /// for AddressEntered; ConfirmClicked begins one when none is open; None
  /// forgets the open attempt's marks).
  bool setRowStep(int row, RowStep step);
  bool setFailedAddresses(const QStringList& addresses);
  bool setImportedText(const QString& text);

  // The attempt history: appended to, never rewritten. Each returns false
  // (or 0) when the journal is off.

  /// The address of `row` goes into the page for `pass`: a new attempt.
  RowKey beginAttempt(RowKey row, PassKey pass);
  /// The confirm of the attempt is being clicked.
  bool confirmAttempt(qint64 attempt);
  /// The attempt's outcome and the row's status and time, in one commit.
  bool finishAttempt(qint64 attempt, RowKey row, const QString& status, const QString& publishTime);

  /// Records a new pass with its rows (one transaction) and returns its key
  /// (0 when the journal is off).
  PassKey startPass(const JournalPass& pass);
  /// Records a pass's state, settings and failure count.
  bool updatePass(const JournalPass& pass);
  /// Records the hold a pass is in, or that it is in none.
  bool setPassHold(PassKey pass, const std::optional<JournalHold>& hold);
  /// The latest attempt of `row` was turned away by a site-wide hold: it is
  /// no outcome of the row's, and the pass that made it tries the row again.
  bool releaseAttempt(RowKey row);

  /// The key of the row at `row` (0 when there is none).
  RowKey keyAt(int row) const;
  /// The greatest key the journal holds or gave out.
  RowKey lastKey() const { return lastKey_; }

  int rowCount() const { return static_cast<int>(order_.size()); }

  /// "另一个Quillet正在使用此数据文件夹：DIR"-style texts live with the lock;
  /// these are the journal's own.
  static QString brokenFileText(const QString& path, const QString& renamedTo);
  static QString unwritableText(const QString& dataDir, const QString& detail);

 Q_SIGNALS:
  /// The journal could not write and is off from now on.
  void turnedOff(const QString& message);

 private:
  struct Statements;
  enum class Inspection { Usable, Broken, Failed };

  // Checks an existing file: intact, ours and not newer (with its version)?
  Inspection inspect(int& version);

  bool openConnection(bool readOnly = false);
  void closeConnection();
  bool configure();
  bool prepareStatements();
  bool moveBrokenFile();
  // Takes back a write to see whether the file can be written at all.
  bool probeWrite();
  // After open() failed: a read-only connection to the file, for restore().
  // Always false (the journal stays off).
  bool fallBackToReading();
  QString staleMarkerPath() const;
  void leaveStaleMarker();
  bool fail(const QSqlError& error);
  bool failText(const QString& detail);
  bool exec(const QString& sql);
  // Gives every row a fresh order number, spaced out (after inserts in
  // the middle ran out of room between two neighbours).
  bool renumber();
  bool settleAttempts(RowKey row, const QString& outcome);
  bool readAll(JournalSnapshot& snapshot);
  static std::optional<JournalHold> readHold(QSqlDatabase& db, PassKey pass);
  bool settle(JournalSnapshot& snapshot);
  bool writeFailed(const QStringList& addresses);
  bool inTransaction(const std::function<bool()>& work);
  bool loadOrder();

  QString dataDir_;
  QString path_;
  QString connection_;
  QString message_;
  QString brokenPath_;
  std::unique_ptr<Statements> statements_;
  QList<RowKey> order_;  // the keys in list order
  QList<qint64> ords_;   // their order numbers
  RowKey lastKey_ = 0;
  PassKey runningPass_ = 0;  // the pass under way, for setRowStep()
  bool active_ = false;
  bool readOnly_ = false;  // off, with a read-only connection for restore()
  bool transactionOpen_ = false;
};

}  // namespace quillet
