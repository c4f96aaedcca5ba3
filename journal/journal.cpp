#include "journal/journal.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "journal/journal_schema.h"

namespace quillet {

namespace {

// SQLite's primary result codes that mean "this file is not a journal".
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

int sqliteCode(const QSqlError& error) {
  bool ok = false;
  const int code = error.nativeErrorCode().toInt(&ok);
  return ok ? (code & 0xff) : -1;
}

constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;

bool meansBusy(const QSqlError& error) {
  const int code = sqliteCode(error);
  return code == kSqliteBusy || code == kSqliteLocked;
}

bool meansBrokenFile(const QSqlError& error) {
  const int code = sqliteCode(error);
  return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

// Qt binds a null QString as SQL NULL; the journal's texts are never NULL.
QString notNull(const QString& text) {
  return text.isNull() ? QStringLiteral("") : text;
}

QString newConnectionName() {
  static QAtomicInt counter;
  return QStringLiteral("quillet-journal-%1").arg(counter.fetchAndAddRelaxed(1));
}

QString nowText() {
  return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// Room left between two rows' order numbers for rows inserted later.
constexpr qint64 kOrderGap = 1024;

}  // namespace

// The statements that run once per recorded change, prepared once.
struct Journal::Statements {
  explicit Statements(const QSqlDatabase& db)
      : status(db),
        time(db),
        outcome(db),
        settle(db),
        begin(db),
        confirm(db),
        finish(db),
        pass(db),
        imported(db),
        remove(db) {}
  QSqlQuery status;
  QSqlQuery time;
  QSqlQuery outcome;
  QSqlQuery settle;
  QSqlQuery begin;
  QSqlQuery confirm;
  QSqlQuery finish;
  QSqlQuery pass;
  QSqlQuery imported;
  QSqlQuery remove;
};

Journal::Journal(QObject* parent) : QObject(parent), connection_(newConnectionName()) {}

Journal::~Journal() {
  close();
}

QString Journal::fileName() {
  return QStringLiteral("quillet.db");
}

QString Journal::brokenFileText(const QString& path, const QString& renamedTo) {
  return QStringLiteral(
             "数据文件%1无法使用（不是Quillet的数据库、来自更新的版本或已损坏）。"
             "它已改名为%2，程序从空列表开始。")
      .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(renamedTo));
}

QString Journal::unwritableText(const QString& dataDir, const QString& detail) {
  return QStringLiteral(
             "无法写入数据文件夹%1（磁盘已满或没有写入权限：%2）。"
             "分享照常进行，但结果只保存在内存中，关闭程序后不会保留。")
      .arg(QDir::toNativeSeparators(dataDir), detail);
}

bool Journal::isActive() const {
  return active_;
}

bool Journal::open(const QString& dataDir) {
  close();
  message_.clear();
  brokenPath_.clear();
  dataDir_ = dataDir;
  path_ = QDir(dataDir).filePath(fileName());
  if (!QDir().mkpath(dataDir)) return failText(QStringLiteral("无法创建文件夹"));

  if (QFileInfo::exists(path_)) {
    // A file that cannot be written is still read (restore() shows it as it
    // is): an empty list in its place would invite importing and sharing
    // everything again.
    // Looked at over a read-only connection first: closing it never folds a
    // write-ahead log into the file (or deletes the log), so a file that is
    // then moved aside goes exactly as it was found, log and all.
    const QString log = path_ + QStringLiteral("-wal");
    const QString index = path_ + QStringLiteral("-shm");
    const bool hadLog = QFileInfo::exists(log);
    const bool hadIndex = QFileInfo::exists(index);
    if (!openConnection(true)) return fallBackToReading();
    int version = 0;
    const Inspection found = inspect(version);
    closeConnection();
    // What the reader made beside the file and left empty is its own, not
    // the file's: it does not go with the file.
    if (!hadLog && QFileInfo::exists(log) && QFileInfo(log).size() == 0) QFile::remove(log);
    if (!hadIndex && !QFileInfo::exists(log)) QFile::remove(index);
    if (found == Inspection::Failed) return fallBackToReading();
    if (found == Inspection::Usable) {
      const bool writable = [&] {
        if (!openConnection() || !configure()) return false;
        QString error;
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (!createOrMigrateSchema(db, version, error)) return failText(error);
        // A file that cannot take the table is still read (it holds no hold).
        addOptionalTables(db, error);
        return prepareStatements() && probeWrite();
      }();
      if (!writable) return fallBackToReading();
      active_ = true;
      return loadOrder();
    }
    if (!moveBrokenFile()) return false;
  }

  if (!openConnection() || !configure()) return false;
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QString error;
  if (!createOrMigrateSchema(db, 0, error) || !addOptionalTables(db, error)) return failText(error);
  if (!prepareStatements()) return false;
  active_ = true;
  return loadOrder();
}

Journal::Inspection Journal::inspect(int& version) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QSqlQuery check(db);
  // A journal another program is busy with is usable: wait for it a few
  // times over (each try waits the connection's busy timeout), and never
  // take it for a broken one.
  bool checked = false;
  for (int attempt = 0; attempt < 5 && !checked; ++attempt) {
    checked = check.exec(QStringLiteral("PRAGMA quick_check"));
    if (!checked && !meansBusy(check.lastError())) break;
  }
  if (!checked) {
    if (meansBrokenFile(check.lastError())) return Inspection::Broken;
    fail(check.lastError());
    return Inspection::Failed;
  }
  if (!check.next() || check.value(0).toString() != QStringLiteral("ok")) return Inspection::Broken;
  check.finish();
  SchemaState state = SchemaState::Empty;
  QString error;
  if (!inspectSchema(db, state, version, error)) {
    // The file passed its check: a failure to read it now is not damage.
    failText(error);
    return Inspection::Failed;
  }
  return state == SchemaState::Newer || state == SchemaState::Foreign ? Inspection::Broken
                                                                      : Inspection::Usable;
}

void Journal::close() {
  active_ = false;
  readOnly_ = false;
  closeConnection();
}

bool Journal::probeWrite() {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  // A write taken back: a file that opens but cannot be written (read-only,
  // or on a read-only mount) is found now, not at the first change. A
  // writer of another program is waited for, a few times over.
  QSqlError error;
  for (int attempt = 0; attempt < 5; ++attempt) {
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
      error = begin.lastError();
      if (meansBusy(error)) continue;
      break;
    }
    QSqlQuery touch(db);
    const bool wrote =
        touch.exec(QStringLiteral("UPDATE run_state SET imported_text = imported_text"));
    error = touch.lastError();
    touch.finish();
    QSqlQuery end(db);
    end.exec(QStringLiteral("ROLLBACK"));
    if (wrote) return true;
    if (!meansBusy(error)) break;
  }
  return fail(error);
}

bool Journal::fallBackToReading() {
  closeConnection();
  const auto tryReading = [this](const QString& name, const QString& options) {
    closeConnection();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(name);
    db.setConnectOptions(options);
    if (!db.open()) return false;
    SchemaState state = SchemaState::Empty;
    int version = 0;
    QString error;
    return inspectSchema(db, state, version, error) && state == SchemaState::Current &&
           version == kJournalSchemaVersion;
  };
  const QString options = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000");
  readOnly_ = QFileInfo::exists(path_) && tryReading(path_, options);
  // A folder that cannot be written has no room for the index a reader of a
  // WAL file needs; with no log beside the file, the file is all there is
  // to read, and it is read as a file that nothing changes.
  if (!readOnly_ && QFileInfo::exists(path_) &&
      !QFileInfo::exists(path_ + QStringLiteral("-wal"))) {
    const QString uri =
        QUrl::fromLocalFile(path_).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1");
    readOnly_ = tryReading(uri, options + QStringLiteral(";QSQLITE_OPEN_URI"));
  }
  if (!readOnly_) closeConnection();
  return false;
}

QString Journal::staleMarkerPath() const {
  return path_ + QStringLiteral("-incomplete");
}

void Journal::leaveStaleMarker() {
  // Best effort, and empty: on a full disk a new file still finds a
  // directory entry where its contents would find no room. Its time says
  // when the record stopped.
  QFile marker(staleMarkerPath());
  if (marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
    marker.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool Journal::openConnection(bool readOnly) {
  closeConnection();
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
  db.setDatabaseName(path_);
  // A second program's reader never blocks us for long; waiting a little
  // beats failing a write.
  db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000")
                                : QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
  return db.open() || fail(db.lastError());
}

void Journal::closeConnection() {
  statements_.reset();
  if (!QSqlDatabase::contains(connection_)) return;
  {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (db.isOpen()) db.close();
  }
  QSqlDatabase::removeDatabase(connection_);
}

bool Journal::configure() {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QSqlQuery mode(db);
  if (!mode.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) return fail(mode.lastError());
  if (!mode.next() || mode.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive))
    return failText(QStringLiteral("无法启用WAL"));
  mode.finish();
  // FULL: a commit in WAL mode is on the disk when it returns, which is what
  // makes "recorded before the next page step" hold across a power cut.
  if (!exec(QStringLiteral("PRAGMA synchronous=FULL"))) return false;
  return true;
}

bool Journal::prepareStatements() {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  statements_ = std::make_unique<Statements>(db);
  auto& s = *statements_;
  const std::pair<QSqlQuery*, QString> statements[] = {
      {&s.status, QStringLiteral("UPDATE list_row SET status = ? WHERE id = ?")},
      {&s.time, QStringLiteral("UPDATE list_row SET publish_time = ? WHERE id = ?")},
      {&s.outcome, QStringLiteral("UPDATE list_row SET status = ?, publish_time = ? WHERE id = ?")},
      // Recording a status settles whatever attempt of the row was open.
      {&s.settle, QStringLiteral("UPDATE attempt SET outcome = ?, outcome_at = ?"
                                 " WHERE row_id = ? AND outcome IS NULL")},
      {&s.begin, QStringLiteral("INSERT INTO attempt (row_id, pass_id, entered_at)"
                                " VALUES (?, NULLIF(?, 0), ?)")},
      // A confirm opens the attempt again: a status cleared while the address
      // was in (清除状态 during the pass) settled it, but the share may go
      // through now, and a crash before its result must leave it unconfirmed.
      {&s.confirm, QStringLiteral("UPDATE attempt SET confirmed_at = ?, outcome = NULL,"
                                  " outcome_at = NULL WHERE id = ?")},
      {&s.finish, QStringLiteral("UPDATE attempt SET outcome = ?, outcome_at = ? WHERE id = ?")},
      {&s.pass, QStringLiteral("UPDATE pass SET state = ?, period_ms = ?, loop = ?, comment = ?,"
                               " jitter_ms = ?, failed_count = ? WHERE id = ?")},
      {&s.imported, QStringLiteral("UPDATE run_state SET imported_text = ? WHERE id = 1")},
      {&s.remove, QStringLiteral("DELETE FROM list_row WHERE id = ?")},
  };
  for (const auto& [query, sql] : statements)
    if (!query->prepare(sql)) return fail(query->lastError());
  return true;
}

bool Journal::moveBrokenFile() {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString target = path_ + QStringLiteral(".broken-") + stamp;
  for (int n = 2; QFileInfo::exists(target); ++n)
    target = path_ + QStringLiteral(".broken-%1-%2").arg(stamp).arg(n);
  if (!QFile::rename(path_, target)) return failText(QStringLiteral("无法给损坏的数据文件改名"));
  // A write-ahead log left beside the broken file belongs to it: a new
  // database of the same name would otherwise replay it.
  // It is moved with the file or the file goes back: a log is never
  // deleted (it may hold the last commits).
  const QString wal = path_ + QStringLiteral("-wal");
  if (QFileInfo::exists(wal) && !QFile::rename(wal, target + QStringLiteral("-wal"))) {
    QFile::rename(target, path_);
    return failText(QStringLiteral("无法移走旧的日志文件"));
  }
  // The shared-memory index is rebuilt from the log; a stale one may go.
  const QString shm = path_ + QStringLiteral("-shm");
  if (QFileInfo::exists(shm) && !QFile::rename(shm, target + QStringLiteral("-shm")))
    QFile::remove(shm);
  brokenPath_ = target;
  message_ = brokenFileText(path_, target);
  return true;
}

bool Journal::fail(const QSqlError& error) {
  QString detail = error.driverText();
  if (!error.databaseText().isEmpty()) detail = error.databaseText();
  return failText(detail);
}

bool Journal::failText(const QString& detail) {
  const bool wasActive = active_;
  active_ = false;
  statements_.reset();
  if (QSqlDatabase::contains(connection_)) {
    // The connection itself goes at close() or the next open(): callers up
    // the stack may still hold it.
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (transactionOpen_) db.rollback();
    db.close();
  }
  transactionOpen_ = false;
  const QString text = unwritableText(dataDir_, detail);
  // The first reason is the one to show; later failures add nothing.
  if (message_.isEmpty() || !brokenPath_.isEmpty()) {
    message_ = brokenPath_.isEmpty() ? text : message_ + QLatin1Char('\n') + text;
  }
  if (wasActive) {
    // What is on the disk from here on falls behind the lists in memory:
    // the next start must know, and not go on from a place long passed.
    leaveStaleMarker();
    Q_EMIT turnedOff(text);
  }
  return false;
}

bool Journal::exec(const QString& sql) {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  if (query.exec(sql)) return true;
  return fail(query.lastError());
}

bool Journal::inTransaction(const std::function<bool()>& work) {
  if (!active_) return false;
  // Inside a transaction already: part of it.
  if (transactionOpen_) return work();
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  if (!db.transaction()) return fail(db.lastError());
  transactionOpen_ = true;
  // A step that fails has already turned the journal off (and rolled back).
  if (!work()) return false;
  if (db.commit()) {
    transactionOpen_ = false;
    return true;
  }
  return fail(db.lastError());
}

bool Journal::loadOrder() {
  order_.clear();
  ords_.clear();
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QSqlQuery rows(db);
  rows.setForwardOnly(true);
  if (!rows.exec(QStringLiteral("SELECT id, ord FROM list_row ORDER BY ord, id")))
    return fail(rows.lastError());
  while (rows.next()) {
    order_.append(rows.value(0).toLongLong());
    ords_.append(rows.value(1).toLongLong());
  }
  rows.finish();
  // A key is never given twice, not even the key of a deleted row: passes
  // and attempts still name it, and a new row under that key would be taken
  // for part of an old pass (and for done in it).
  QSqlQuery last(db);
  if (!last.exec(QStringLiteral("SELECT MAX(k) FROM ("
                                "SELECT MAX(id) AS k FROM list_row"
                                " UNION ALL SELECT MAX(row_id) FROM pass_row"
                                " UNION ALL SELECT MAX(row_id) FROM attempt"
                                " UNION ALL SELECT MAX(last_row_key) FROM pass)")) ||
      !last.next())
    return fail(last.lastError());
  lastKey_ = std::max<RowKey>(lastKey_, last.value(0).toLongLong());
  return true;
}

RowKey Journal::keyAt(int row) const {
  return row >= 0 && row < order_.size() ? order_[row] : 0;
}

bool Journal::renumber() {
  QSqlQuery update(QSqlDatabase::database(connection_, false));
  update.prepare(QStringLiteral("UPDATE list_row SET ord = ? WHERE id = ?"));
  for (qsizetype i = 0; i < order_.size(); ++i) {
    ords_[i] = static_cast<qint64>(i) * kOrderGap;
    update.bindValue(0, ords_[i]);
    update.bindValue(1, order_[i]);
    if (!update.exec()) return fail(update.lastError());
  }
  return true;
}

bool Journal::readAll(JournalSnapshot& snapshot) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QSqlQuery run(db);
  if (!run.exec(QStringLiteral("SELECT imported_text FROM run_state"))) return false;
  if (run.next()) snapshot.importedText = run.value(0).toString();
  run.finish();

  QSqlQuery rows(db);
  rows.setForwardOnly(true);
  if (!rows.exec(QStringLiteral(
          "SELECT id, address, status, publish_time FROM list_row ORDER BY ord, id")))
    return false;
  while (rows.next()) {
    snapshot.rows.append(JournalRow{rows.value(1).toString(), rows.value(2).toString(),
                                    rows.value(3).toString(), rows.value(0).toLongLong()});
  }
  rows.finish();

  QSqlQuery failed(db);
  failed.setForwardOnly(true);
  if (!failed.exec(QStringLiteral("SELECT address FROM failed_address ORDER BY pos"))) return false;
  while (failed.next()) snapshot.failed << failed.value(0).toString();
  failed.finish();

  QSqlQuery pass(db);
  if (!pass.exec(QStringLiteral(
          "SELECT id, kind, state, period_ms, loop, comment, jitter_ms,"
          " source_file, failed_count, last_row_key FROM pass ORDER BY id DESC LIMIT 1")))
    return false;
  if (pass.next()) {
    JournalPass p;
    p.key = pass.value(0).toLongLong();
    p.kind = static_cast<PassKind>(std::clamp(pass.value(1).toInt(), 0, 2));
    p.state = static_cast<PassState>(std::clamp(pass.value(2).toInt(), 0, 2));
    p.settings.periodSeconds = pass.value(3).toDouble() / 1000.0;
    p.settings.loop = pass.value(4).toInt() != 0;
    p.settings.comment = pass.value(5).toInt() != 0;
    p.settings.jitterSeconds = pass.value(6).toDouble() / 1000.0;
    p.sourceFile = pass.value(7).toString();
    p.failedCount = pass.value(8).toInt();
    p.lastKeyAtStart = pass.value(9).toLongLong();
    pass.finish();
    QSqlQuery passRows(db);
    passRows.setForwardOnly(true);
    passRows.prepare(QStringLiteral("SELECT row_id FROM pass_row WHERE pass_id = ? ORDER BY seq"));
    passRows.addBindValue(p.key);
    if (!passRows.exec()) return false;
    while (passRows.next()) p.rows.append(passRows.value(0).toLongLong());
    passRows.finish();
    QSqlQuery done(db);
    done.setForwardOnly(true);
    done.prepare(QStringLiteral(
        "SELECT DISTINCT row_id FROM attempt WHERE pass_id = ?"
        " AND (outcome IS NULL OR outcome <> ?)"
        " AND (confirmed_at IS NOT NULL OR (outcome IS NOT NULL AND outcome <> ''))"));
    done.addBindValue(p.key);
    done.addBindValue(retriedOutcome());
    if (!done.exec()) return false;
    while (done.next()) p.done.insert(done.value(0).toLongLong());
    done.finish();
    p.hold = readHold(db, p.key);
    snapshot.pass = std::move(p);
  }

  // A row whose latest attempt was confirmed without an outcome may have
  // been shared.
  QSet<RowKey> unconfirmed;
  QSqlQuery open(db);
  open.setForwardOnly(true);
  if (!open.exec(QStringLiteral(
          "SELECT a.row_id FROM attempt a"
          " WHERE a.confirmed_at IS NOT NULL AND a.outcome IS NULL"
          " AND a.id = (SELECT MAX(b.id) FROM attempt b WHERE b.row_id = a.row_id)")))
    return false;
  while (open.next()) unconfirmed.insert(open.value(0).toLongLong());
  open.finish();
  if (!unconfirmed.isEmpty()) {
    QSet<QString> addresses;
    for (JournalRow& row : snapshot.rows) {
      if (!unconfirmed.contains(row.key)) continue;
      addresses.insert(row.address);
      if (row.status == unconfirmedStatus()) continue;
      row.status = unconfirmedStatus();
      ++snapshot.unconfirmedCount;
    }
    // Entries that stood in the pass's own failures lower its count.
    int failedCount = snapshot.pass ? snapshot.pass->failedCount : 0;
    for (qsizetype i = snapshot.failed.size() - 1; i >= 0; --i) {
      if (!addresses.contains(snapshot.failed[i])) continue;
      snapshot.failed.removeAt(i);
      if (i < failedCount) --failedCount;
    }
    if (snapshot.pass) snapshot.pass->failedCount = std::max(0, failedCount);
  }
  return true;
}

JournalSnapshot Journal::restore() {
  JournalSnapshot snapshot;
  if (!active_ && !readOnly_) return snapshot;
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  if (!readAll(snapshot)) {
    QSqlQuery probe(db);
    probe.exec(QStringLiteral("SELECT 1"));
    const QString detail =
        db.lastError().isValid() ? db.lastError().text() : probe.lastError().text();
    readOnly_ = false;
    failText(detail);
    return JournalSnapshot{};
  }

  // The last session's journal turned itself off: the record ends where
  // writing stopped, and the pass it shows under way went on in memory.
  snapshot.stale = QFileInfo::exists(staleMarkerPath());
  const bool abandonPass =
      snapshot.stale && snapshot.pass && snapshot.pass->state != PassState::Finished;
  if (abandonPass) snapshot.pass->state = PassState::Finished;

  // Where an interrupted or stopped pass goes on: its next row still in the
  // list that has no outcome (or confirm) in it and is not unconfirmed.
  QHash<RowKey, int> positions;
  positions.reserve(snapshot.rows.size());
  for (qsizetype i = 0; i < snapshot.rows.size(); ++i)
    positions.insert(snapshot.rows[i].key, static_cast<int>(i));
  bool passFinished = false;
  if (snapshot.pass && snapshot.pass->state != PassState::Finished) {
    for (const RowKey key : std::as_const(snapshot.pass->rows)) {
      const auto at = positions.constFind(key);
      if (at == positions.constEnd() || snapshot.pass->done.contains(key)) continue;
      if (snapshot.rows[*at].status == unconfirmedStatus()) continue;
      snapshot.resumeRow = *at;
      break;
    }
    if (snapshot.resumeRow < 0) {
      snapshot.pass->state = PassState::Finished;
      passFinished = true;
    }
  }
  passFinished = passFinished || abandonPass;
  if (readOnly_) {
    // Shown as it is; nothing settled, nothing written.
    snapshot.readOnly = true;
    return snapshot;
  }

  // Settle for good what was read, if the file can be written.
  const bool settled = inTransaction([&] {
    if (snapshot.unconfirmedCount > 0) {
      QSqlQuery mark(db);
      if (!mark.exec(QStringLiteral(
              "UPDATE list_row SET status = '未确认' WHERE id IN ("
              " SELECT a.row_id FROM attempt a"
              " WHERE a.confirmed_at IS NOT NULL AND a.outcome IS NULL"
              " AND a.id = (SELECT MAX(b.id) FROM attempt b WHERE b.row_id = a.row_id))")))
        return fail(mark.lastError());
      if (!writeFailed(snapshot.failed)) return false;
      if (snapshot.pass) {
        snapshot.pass->failedCount =
            std::clamp(snapshot.pass->failedCount, 0, static_cast<int>(snapshot.failed.size()));
        QSqlQuery count(db);
        count.prepare(QStringLiteral("UPDATE pass SET failed_count = ? WHERE id = ?"));
        count.addBindValue(snapshot.pass->failedCount);
        count.addBindValue(snapshot.pass->key);
        if (!count.exec()) return fail(count.lastError());
      }
    }
    if (passFinished) {
      QSqlQuery finish(db);
      finish.prepare(QStringLiteral("UPDATE pass SET state = ? WHERE id = ?"));
      finish.addBindValue(static_cast<int>(PassState::Finished));
      finish.addBindValue(snapshot.pass->key);
      if (!finish.exec()) return fail(finish.lastError());
    }
    return true;
  });
  if (!settled) snapshot.readOnly = true;
  // Told once: the pass it stood for is settled as finished.
  if (settled && snapshot.stale) QFile::remove(staleMarkerPath());
  if (snapshot.pass && snapshot.pass->state == PassState::Running)
    runningPass_ = snapshot.pass->key;
  return snapshot;
}

bool Journal::replaceRows(const QList<JournalRow>& rows) {
  QList<RowKey> keys;
  QList<qint64> ords;
  RowKey last = lastKey_;
  const bool ok = inTransaction([&] {
    if (!exec(QStringLiteral("DELETE FROM list_row"))) return false;
    QSqlQuery insert(QSqlDatabase::database(connection_, false));
    insert.prepare(QStringLiteral("INSERT INTO list_row VALUES (?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; i < rows.size(); ++i) {
      const RowKey key = rows[i].key > 0 ? rows[i].key : ++last;
      last = std::max(last, key);
      keys.append(key);
      ords.append(static_cast<qint64>(i) * kOrderGap);
      insert.bindValue(0, key);
      insert.bindValue(1, ords.last());
      insert.bindValue(2, notNull(rows[i].address));
      insert.bindValue(3, notNull(rows[i].status));
      insert.bindValue(4, notNull(rows[i].publishTime));
      if (!insert.exec()) return fail(insert.lastError());
    }
    return true;
  });
  if (ok) {
    order_ = std::move(keys);
    ords_ = std::move(ords);
    lastKey_ = last;
  }
  return ok;
}

bool Journal::insertRows(int position, const QStringList& addresses, const QList<RowKey>& keys) {
  if (addresses.isEmpty()) return active_;
  if (!active_) return false;
  position = std::clamp(position, 0, rowCount());
  const auto count = static_cast<qint64>(addresses.size());
  QList<RowKey> fresh;
  fresh.reserve(addresses.size());
  RowKey last = lastKey_;
  for (qsizetype i = 0; i < addresses.size(); ++i) {
    const RowKey key = i < keys.size() && keys[i] > 0 ? keys[i] : ++last;
    last = std::max(last, key);
    fresh.append(key);
  }
  const QList<RowKey> oldOrder = order_;
  const QList<qint64> oldOrds = ords_;
  const bool ok = inTransaction([&] {
    // Order numbers between the neighbours; spread all rows out again when
    // there is no room (only inserts in the middle ever need that).
    qint64 first = 0;
    qint64 step = kOrderGap;
    if (order_.isEmpty()) {
      first = 0;
    } else if (position == 0) {
      first = ords_.first() - count * kOrderGap;
    } else if (position == order_.size()) {
      first = ords_.last() + kOrderGap;
    } else {
      const qint64 below = ords_[position - 1];
      const qint64 above = ords_[position];
      step = (above - below) / (count + 1);
      first = below + step;
      if (step < 1) {
        order_.insert(position, count, 0);
        ords_.insert(position, count, 0);
        for (qsizetype i = 0; i < count; ++i) order_[position + i] = fresh[i];
        // The new rows are not in the table yet: renumber() sets their
        // order numbers when they are.
        step = 0;
      }
    }
    QSqlQuery insert(QSqlDatabase::database(connection_, false));
    insert.prepare(QStringLiteral("INSERT INTO list_row (id, ord, address) VALUES (?, ?, ?)"));
    for (qsizetype i = 0; i < count; ++i) {
      insert.bindValue(0, fresh[i]);
      insert.bindValue(1, step == 0 ? 0 : first + i * step);
      insert.bindValue(2, notNull(addresses[i]));
      if (!insert.exec()) return fail(insert.lastError());
    }
    if (step == 0) return renumber();
    QList<qint64> ords;
    for (qsizetype i = 0; i < count; ++i) ords.append(first + i * step);
    order_.insert(position, count, 0);
    ords_.insert(position, count, 0);
    for (qsizetype i = 0; i < count; ++i) {
      order_[position + i] = fresh[i];
      ords_[position + i] = ords[i];
    }
    return true;
  });
  if (ok) {
    lastKey_ = last;
  } else {
    order_ = oldOrder;
    ords_ = oldOrds;
  }
  return ok;
}

bool Journal::removeRows(int position, int count) {
  if (position < 0 || count <= 0 || position >= rowCount()) return active_;
  count = std::min(count, rowCount() - position);
  return removeKeys(order_.mid(position, count));
}

bool Journal::removeKeys(const QList<RowKey>& keys) {
  if (keys.isEmpty()) return active_;
  const QSet<RowKey> gone(keys.cbegin(), keys.cend());
  const bool ok = inTransaction([&] {
    auto& q = statements_->remove;
    for (const RowKey key : gone) {
      q.bindValue(0, key);
      if (!q.exec()) return fail(q.lastError());
    }
    return true;
  });
  if (!ok) return false;
  // One sweep over the list keeps the rest in order.
  qsizetype out = 0;
  for (qsizetype i = 0; i < order_.size(); ++i) {
    if (gone.contains(order_[i])) continue;
    order_[out] = order_[i];
    ords_[out] = ords_[i];
    ++out;
  }
  order_.resize(out);
  ords_.resize(out);
  return true;
}

bool Journal::settleAttempts(RowKey row, const QString& outcome) {
  auto& q = statements_->settle;
  q.bindValue(0, notNull(outcome));
  q.bindValue(1, nowText());
  q.bindValue(2, row);
  return q.exec() || fail(q.lastError());
}

bool Journal::setRowStatus(RowKey key, const QString& status) {
  if (!active_ || key <= 0) return false;
  return inTransaction([&] {
    auto& q = statements_->status;
    q.bindValue(0, notNull(status));
    q.bindValue(1, key);
    return (q.exec() || fail(q.lastError())) && settleAttempts(key, status);
  });
}

bool Journal::setRowPublishTime(RowKey key, const QString& publishTime) {
  if (!active_ || key <= 0) return false;
  auto& q = statements_->time;
  q.bindValue(0, notNull(publishTime));
  q.bindValue(1, key);
  return q.exec() || fail(q.lastError());
}

bool Journal::setRowOutcome(RowKey key, const QString& status, const QString& publishTime) {
  if (!active_ || key <= 0) return false;
  return inTransaction([&] {
    auto& q = statements_->outcome;
    q.bindValue(0, notNull(status));
    q.bindValue(1, notNull(publishTime));
    q.bindValue(2, key);
    return (q.exec() || fail(q.lastError())) && settleAttempts(key, status);
  });
}

bool Journal::setStatus(int row, const QString& status) {
  return setRowStatus(keyAt(row), status);
}

bool Journal::setPublishTime(int row, const QString& publishTime) {
  return setRowPublishTime(keyAt(row), publishTime);
}

bool Journal::setOutcome(int row, const QString& status, const QString& publishTime) {
  return setRowOutcome(keyAt(row), status, publishTime);
}

bool Journal::clearStatuses() {
  return inTransaction([&] {
    return exec(QStringLiteral("UPDATE list_row SET status = ''")) &&
           exec(QStringLiteral("UPDATE attempt SET outcome = '' WHERE outcome IS NULL"));
  });
}

bool Journal::clearStatusOf(const QList<RowKey>& keys) {
  if (keys.isEmpty()) return active_;
  return inTransaction([&] {
    auto& q = statements_->status;
    for (const RowKey key : keys) {
      q.bindValue(0, QStringLiteral(""));
      q.bindValue(1, key);
      if (!q.exec()) return fail(q.lastError());
      if (!settleAttempts(key, QStringLiteral(""))) return false;
    }
    return true;
  });
}

bool Journal::setRowStep(int row, RowStep step) {
  const RowKey key = keyAt(row);
  if (!active_ || key <= 0) return false;
  switch (step) {
    case RowStep::None:
      return inTransaction([&] { return settleAttempts(key, QStringLiteral("")); });
    case RowStep::AddressEntered:
      return beginAttempt(key, runningPass_) > 0;
    case RowStep::ConfirmClicked: {
      QSqlQuery open(QSqlDatabase::database(connection_, false));
      open.prepare(
          QStringLiteral("SELECT MAX(id) FROM attempt WHERE row_id = ? AND outcome IS NULL"));
      open.addBindValue(key);
      if (!open.exec()) return fail(open.lastError());
      qint64 attempt = open.next() && !open.value(0).isNull() ? open.value(0).toLongLong() : 0;
      open.finish();
      if (attempt == 0) attempt = beginAttempt(key, runningPass_);
      return attempt > 0 && confirmAttempt(attempt);
    }
  }
  return false;
}

RowKey Journal::beginAttempt(RowKey row, PassKey pass) {
  if (!active_ || row <= 0) return 0;
  auto& q = statements_->begin;
  q.bindValue(0, row);
  q.bindValue(1, pass);
  q.bindValue(2, nowText());
  if (!q.exec()) {
    fail(q.lastError());
    return 0;
  }
  return q.lastInsertId().toLongLong();
}

bool Journal::confirmAttempt(qint64 attempt) {
  if (!active_ || attempt <= 0) return false;
  auto& q = statements_->confirm;
  q.bindValue(0, nowText());
  q.bindValue(1, attempt);
  return q.exec() || fail(q.lastError());
}

bool Journal::finishAttempt(qint64 attempt, RowKey row, const QString& status,
                            const QString& publishTime) {
  if (!active_ || row <= 0) return false;
  return inTransaction([&] {
    auto& row_ = statements_->outcome;
    row_.bindValue(0, notNull(status));
    row_.bindValue(1, notNull(publishTime));
    row_.bindValue(2, row);
    if (!row_.exec()) return fail(row_.lastError());
    if (attempt > 0) {
      auto& q = statements_->finish;
      q.bindValue(0, notNull(status));
      q.bindValue(1, nowText());
      q.bindValue(2, attempt);
      if (!q.exec()) return fail(q.lastError());
    }
    // Older marks of the row left open are settled by this outcome too.
    return settleAttempts(row, status);
  });
}

PassKey Journal::startPass(const JournalPass& pass) {
  if (!active_) return 0;
  PassKey key = 0;
  const bool ok = inTransaction([&] {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO pass (kind, state, period_ms, loop, comment, jitter_ms, source_file,"
        " failed_count, last_row_key, started_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(static_cast<int>(pass.kind));
    insert.addBindValue(static_cast<int>(pass.state));
    insert.addBindValue(static_cast<qint64>(std::llround(pass.settings.periodSeconds * 1000.0)));
    insert.addBindValue(pass.settings.loop ? 1 : 0);
    insert.addBindValue(pass.settings.comment ? 1 : 0);
    insert.addBindValue(static_cast<qint64>(std::llround(pass.settings.jitterSeconds * 1000.0)));
    insert.addBindValue(notNull(pass.sourceFile));
    insert.addBindValue(pass.failedCount);
    insert.addBindValue(pass.lastKeyAtStart);
    insert.addBindValue(nowText());
    if (!insert.exec()) return fail(insert.lastError());
    key = insert.lastInsertId().toLongLong();
    QSqlQuery rows(db);
    rows.prepare(QStringLiteral("INSERT INTO pass_row VALUES (?, ?, ?)"));
    for (qsizetype i = 0; i < pass.rows.size(); ++i) {
      rows.bindValue(0, key);
      rows.bindValue(1, static_cast<qint64>(i));
      rows.bindValue(2, pass.rows[i]);
      if (!rows.exec()) return fail(rows.lastError());
    }
    return true;
  });
  if (!ok) return 0;
  runningPass_ = pass.state == PassState::Running ? key : 0;
  return key;
}

bool Journal::updatePass(const JournalPass& pass) {
  if (!active_ || pass.key <= 0) return false;
  auto& q = statements_->pass;
  q.bindValue(0, static_cast<int>(pass.state));
  q.bindValue(1, static_cast<qint64>(std::llround(pass.settings.periodSeconds * 1000.0)));
  q.bindValue(2, pass.settings.loop ? 1 : 0);
  q.bindValue(3, pass.settings.comment ? 1 : 0);
  q.bindValue(4, static_cast<qint64>(std::llround(pass.settings.jitterSeconds * 1000.0)));
  q.bindValue(5, pass.failedCount);
  q.bindValue(6, pass.key);
  if (!q.exec()) return fail(q.lastError());
  runningPass_ = pass.state == PassState::Running ? pass.key : 0;
  return true;
}

bool Journal::setPassHold(PassKey pass, const std::optional<JournalHold>& hold) {
  if (!active_ || pass <= 0) return false;
  QSqlQuery q(QSqlDatabase::database(connection_, false));
  if (!hold) {
    q.prepare(QStringLiteral("DELETE FROM pass_hold WHERE pass_id = ?"));
    q.addBindValue(pass);
    return q.exec() || fail(q.lastError());
  }
  QStringList retry;
  for (const RowKey key : hold->retryRows) retry << QString::number(key);
  q.prepare(QStringLiteral("INSERT OR REPLACE INTO pass_hold VALUES (?, ?, ?, ?, ?, ?)"));
  q.addBindValue(pass);
  q.addBindValue(static_cast<int>(hold->kind));
  q.addBindValue(hold->row);
  q.addBindValue(hold->untilMs);
  q.addBindValue(notNull(retry.join(QLatin1Char(','))));
  q.addBindValue(notNull(QString::fromUtf8(hold->policy)));
  return q.exec() || fail(q.lastError());
}

std::optional<JournalHold> Journal::readHold(QSqlDatabase& db, PassKey pass) {
  QSqlQuery q(db);
  q.prepare(QStringLiteral(
      "SELECT kind, row_id, until_ms, retry_rows, policy FROM pass_hold WHERE pass_id = ?"));
  q.addBindValue(pass);
  // A file without the table (written before holds were kept) holds none.
  if (!q.exec() || !q.next()) return std::nullopt;
  const int kind = q.value(0).toInt();
  if (kind < static_cast<int>(HoldKind::SignedOut) || kind > static_cast<int>(HoldKind::SiteDown))
    return std::nullopt;
  JournalHold hold;
  hold.kind = static_cast<HoldKind>(kind);
  hold.row = q.value(1).toLongLong();
  hold.untilMs = q.value(2).toLongLong();
  for (const QString& each : q.value(3).toString().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    bool ok = false;
    const RowKey key = each.toLongLong(&ok);
    if (ok) hold.retryRows << key;
  }
  hold.policy = q.value(4).toString().toUtf8();
  return hold;
}

bool Journal::releaseAttempt(RowKey row) {
  if (!active_ || row <= 0) return false;
  QSqlQuery q(QSqlDatabase::database(connection_, false));
  q.prepare(
      QStringLiteral("UPDATE attempt SET outcome = ?, outcome_at = ?"
                     " WHERE id = (SELECT MAX(id) FROM attempt WHERE row_id = ?)"));
  q.addBindValue(retriedOutcome());
  q.addBindValue(nowText());
  q.addBindValue(row);
  return q.exec() || fail(q.lastError());
}

bool Journal::setFailedAddresses(const QStringList& addresses) {
  return inTransaction([&] { return writeFailed(addresses); });
}

bool Journal::writeFailed(const QStringList& addresses) {
  if (!exec(QStringLiteral("DELETE FROM failed_address"))) return false;
  QSqlQuery insert(QSqlDatabase::database(connection_, false));
  insert.prepare(QStringLiteral("INSERT INTO failed_address VALUES (?, ?)"));
  for (qsizetype i = 0; i < addresses.size(); ++i) {
    insert.bindValue(0, static_cast<qint64>(i));
    insert.bindValue(1, notNull(addresses[i]));
    if (!insert.exec()) return fail(insert.lastError());
  }
  return true;
}

bool Journal::updateRows(int first, const QList<JournalRow>& rows) {
  if (rows.isEmpty()) return active_;
  return inTransaction([&] {
    auto& q = statements_->outcome;
    for (qsizetype i = 0; i < rows.size(); ++i) {
      const RowKey key = keyAt(first + static_cast<int>(i));
      if (key <= 0) continue;
      q.bindValue(0, notNull(rows[i].status));
      q.bindValue(1, notNull(rows[i].publishTime));
      q.bindValue(2, key);
      if (!q.exec()) return fail(q.lastError());
      if (!settleAttempts(key, rows[i].status)) return false;
    }
    return true;
  });
}

bool Journal::setImportedText(const QString& text) {
  if (!active_) return false;
  auto& q = statements_->imported;
  q.bindValue(0, notNull(text));
  return q.exec() || fail(q.lastError());
}

}  // namespace quillet
