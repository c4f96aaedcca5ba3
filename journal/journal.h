#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "journal/journal_types.h"

class QSqlError;

namespace quillet {

/// The durable copy of the address list, the failed-address list and the
/// run state: `quillet.db` in the data folder, SQLite in WAL mode with
/// synchronous=FULL. Every write commits before it returns, so that what
/// the caller recorded survives a crash or a power cut from then on; a batch
/// (an import, a replaced list) is one transaction.
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

  /// Reads everything back. Rows whose confirm was clicked without a
  /// recorded result become "未确认", and their addresses leave the failed
  /// list (a re-send must not share them again); rows whose address was
  /// entered but not confirmed lose that mark (nothing was shared). The
  /// settled state is written back, so a second crash right after changes
  /// nothing.
  JournalSnapshot restore();

  // Writes. Each commits before returning and is false when the journal
  // is off (or has just turned itself off because of this write).

  /// Replaces the whole list, in one transaction.
  bool replaceRows(const QList<JournalRow>& rows);
  /// Inserts new rows (empty status and time) for `addresses`, in the given
  /// order, at `position` (clamped to the list); later rows move down.
  bool insertRows(int position, const QStringList& addresses);
  /// Removes `count` rows from `position` on; later rows move up.
  bool removeRows(int position, int count);
  /// Sets a row's status; recording a status settles a pending step.
  bool setStatus(int row, const QString& status);
  bool setPublishTime(int row, const QString& publishTime);
  /// Status and time of one row in one commit; settles a pending step.
  bool setOutcome(int row, const QString& status, const QString& publishTime);
  /// Status and time of the rows from `first` on, in one transaction.
  bool updateRows(int first, const QList<JournalRow>& rows);
  /// Empties the status of every row (keeps the times).
  bool clearStatuses();
  bool setRowStep(int row, RowStep step);
  bool setFailedAddresses(const QStringList& addresses);
  bool setRunState(const JournalRunState& state);
  bool setImportedText(const QString& text);

  int rowCount() const { return rowCount_; }

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

  bool openConnection();
  void closeConnection();
  bool configure();
  bool prepareStatements();
  bool moveBrokenFile();
  bool fail(const QSqlError& error);
  bool failText(const QString& detail);
  bool exec(const QString& sql);
  // Moves rows at `from` and after by `delta` places (rowid is the place, so
  // the move goes through negative places to keep every place unique).
  bool shiftRows(int from, int delta);
  bool writeFailed(const QStringList& addresses);
  bool inTransaction(const std::function<bool()>& work);
  int countRows();

  QString dataDir_;
  QString path_;
  QString connection_;
  QString message_;
  QString brokenPath_;
  std::unique_ptr<Statements> statements_;
  int rowCount_ = 0;
  bool active_ = false;
  bool transactionOpen_ = false;
};

}  // namespace quillet
