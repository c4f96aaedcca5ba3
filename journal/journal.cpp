#include "journal/journal.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

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

}  // namespace

// The statements that run once per recorded change, prepared once.
struct Journal::Statements {
  explicit Statements(const QSqlDatabase& db)
      : status(db), time(db), outcome(db), step(db), run(db), imported(db) {}
  QSqlQuery status;
  QSqlQuery time;
  QSqlQuery outcome;
  QSqlQuery step;
  QSqlQuery run;
  QSqlQuery imported;
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
    if (!openConnection()) return false;
    int version = 0;
    const Inspection found = inspect(version);
    if (found == Inspection::Failed) return false;
    if (found == Inspection::Usable) {
      if (!configure()) return false;
      QString error;
      QSqlDatabase db = QSqlDatabase::database(connection_, false);
      if (!createOrMigrateSchema(db, version, error)) return failText(error);
      if (!prepareStatements()) return false;
      active_ = true;
      rowCount_ = countRows();
      return active_;
    }
    closeConnection();
    if (!moveBrokenFile()) return false;
  }

  if (!openConnection() || !configure()) return false;
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QString error;
  if (!createOrMigrateSchema(db, 0, error)) return failText(error);
  if (!prepareStatements()) return false;
  active_ = true;
  rowCount_ = 0;
  return true;
}

Journal::Inspection Journal::inspect(int& version) {
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  QSqlQuery check(db);
  if (!check.exec(QStringLiteral("PRAGMA quick_check"))) {
    if (meansBrokenFile(check.lastError())) return Inspection::Broken;
    fail(check.lastError());
    return Inspection::Failed;
  }
  if (!check.next() || check.value(0).toString() != QStringLiteral("ok")) return Inspection::Broken;
  check.finish();
  SchemaState state = SchemaState::Empty;
  QString error;
  if (!inspectSchema(db, state, version, error)) return Inspection::Broken;
  return state == SchemaState::Newer || state == SchemaState::Foreign ? Inspection::Broken
                                                                      : Inspection::Usable;
}

void Journal::close() {
  active_ = false;
  closeConnection();
}

bool Journal::openConnection() {
  closeConnection();
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
  db.setDatabaseName(path_);
  // A second program's reader never blocks us for long; waiting a little
  // beats failing a write.
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
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
      // Recording a status settles whatever step the row had reached.
      {&s.status, QStringLiteral("UPDATE address_row SET status = ?, step = 0 WHERE pos = ?")},
      {&s.time, QStringLiteral("UPDATE address_row SET publish_time = ? WHERE pos = ?")},
      {&s.outcome, QStringLiteral("UPDATE address_row SET status = ?, publish_time = ?, step = 0"
                                  " WHERE pos = ?")},
      {&s.step, QStringLiteral("UPDATE address_row SET step = ? WHERE pos = ?")},
      {&s.run, QStringLiteral("UPDATE run_state SET running = ?, current_row = ?,"
                              " failed_count = ? WHERE id = 1")},
      {&s.imported, QStringLiteral("UPDATE run_state SET imported_text = ? WHERE id = 1")},
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
  for (const auto& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
    if (QFileInfo::exists(path_ + suffix) && !QFile::rename(path_ + suffix, target + suffix) &&
        !QFile::remove(path_ + suffix))
      return failText(QStringLiteral("无法移走旧的日志文件"));
  }
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
  if (wasActive) Q_EMIT turnedOff(text);
  return false;
}

bool Journal::exec(const QString& sql) {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  if (query.exec(sql)) return true;
  return fail(query.lastError());
}

bool Journal::inTransaction(const std::function<bool()>& work) {
  if (!active_) return false;
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

int Journal::countRows() {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  if (query.exec(QStringLiteral("SELECT COUNT(*) FROM address_row")) && query.next())
    return query.value(0).toInt();
  return 0;
}

bool Journal::shiftRows(int from, int delta) {
  QSqlQuery query(QSqlDatabase::database(connection_, false));
  query.prepare(QStringLiteral("UPDATE address_row SET pos = -(pos + ?) - 1 WHERE pos >= ?"));
  query.addBindValue(delta);
  query.addBindValue(from);
  if (!query.exec()) return fail(query.lastError());
  return exec(QStringLiteral("UPDATE address_row SET pos = -pos - 1 WHERE pos < 0"));
}

JournalSnapshot Journal::restore() {
  JournalSnapshot snapshot;
  if (!active_) return snapshot;
  QSqlDatabase db = QSqlDatabase::database(connection_, false);
  int enteredRow = -1;
  int confirmedRow = -1;
  bool failedChanged = false;
  const bool ok = inTransaction([&] {
    QSqlQuery run(db);
    if (!run.exec(QStringLiteral(
            "SELECT running, current_row, failed_count, imported_text FROM run_state")))
      return fail(run.lastError());
    if (run.next()) {
      snapshot.run.running = run.value(0).toInt() != 0;
      snapshot.run.currentRow = run.value(1).toInt();
      snapshot.run.failedCount = run.value(2).toInt();
      snapshot.importedText = run.value(3).toString();
    }
    run.finish();

    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral(
            "SELECT address, status, publish_time, step FROM address_row ORDER BY pos")))
      return fail(rows.lastError());
    while (rows.next()) {
      JournalRow row{rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(),
                     RowStep::None};
      const int step = rows.value(3).toInt();
      const int index = static_cast<int>(snapshot.rows.size());
      if (step == static_cast<int>(RowStep::ConfirmClicked)) {
        row.status = unconfirmedStatus();
        ++snapshot.unconfirmedCount;
        confirmedRow = std::max(confirmedRow, index);
      } else if (step == static_cast<int>(RowStep::AddressEntered) && enteredRow < 0) {
        enteredRow = index;
      }
      snapshot.rows.append(std::move(row));
    }
    rows.finish();

    QSqlQuery failed(db);
    failed.setForwardOnly(true);
    if (!failed.exec(QStringLiteral("SELECT address FROM failed_address ORDER BY pos")))
      return fail(failed.lastError());
    while (failed.next()) snapshot.failed << failed.value(0).toString();
    failed.finish();

    // An unconfirmed row may have been shared: its address must not wait in
    // the failed list for a re-send (the failure may have been recorded
    // there just before the crash).
    if (snapshot.unconfirmedCount > 0) {
      QSet<QString> unconfirmed;
      for (const JournalRow& row : std::as_const(snapshot.rows))
        if (row.status == unconfirmedStatus()) unconfirmed.insert(row.address);
      for (qsizetype i = snapshot.failed.size() - 1; i >= 0; --i) {
        if (!unconfirmed.contains(snapshot.failed[i])) continue;
        snapshot.failed.removeAt(i);
        if (i < snapshot.run.failedCount) --snapshot.run.failedCount;
        failedChanged = true;
      }
    }

    // Settle the pending steps for good.
    return exec(QStringLiteral("UPDATE address_row SET status = '未确认' WHERE step = 2")) &&
           exec(QStringLiteral("UPDATE address_row SET step = 0 WHERE step <> 0")) &&
           (!failedChanged || writeFailed(snapshot.failed));
  });
  if (!ok) return JournalSnapshot{};
  rowCount_ = static_cast<int>(snapshot.rows.size());

  auto& run = snapshot.run;
  const bool wasRunning = run.running;
  run.currentRow = std::clamp(run.currentRow, 0, rowCount_);
  run.failedCount = std::clamp(run.failedCount, 0, static_cast<int>(snapshot.failed.size()));
  if (run.running) {
    // The row being worked on decides where the pass goes on: an entered
    // address was never shared, so that row again; a confirmed one may have
    // been, so the row after it.
    int resume = run.currentRow;
    if (enteredRow >= 0) resume = enteredRow;
    if (confirmedRow >= 0 && enteredRow < 0) resume = std::max(resume, confirmedRow + 1);
    if (resume < rowCount_) {
      snapshot.resumeRow = resume;
      run.currentRow = resume;
    } else {
      run.running = false;
      run.currentRow = 0;
    }
  }
  if (snapshot.run.running != wasRunning || failedChanged || snapshot.resumeRow >= 0)
    setRunState(run);
  return snapshot;
}

bool Journal::replaceRows(const QList<JournalRow>& rows) {
  const bool ok = inTransaction([&] {
    if (!exec(QStringLiteral("DELETE FROM address_row"))) return false;
    QSqlQuery insert(QSqlDatabase::database(connection_, false));
    insert.prepare(QStringLiteral("INSERT INTO address_row VALUES (?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; i < rows.size(); ++i) {
      insert.bindValue(0, static_cast<qint64>(i));
      insert.bindValue(1, notNull(rows[i].address));
      insert.bindValue(2, notNull(rows[i].status));
      insert.bindValue(3, notNull(rows[i].publishTime));
      insert.bindValue(4, static_cast<int>(rows[i].step));
      if (!insert.exec()) return fail(insert.lastError());
    }
    return true;
  });
  if (ok) rowCount_ = static_cast<int>(rows.size());
  return ok;
}

bool Journal::insertRows(int position, const QStringList& addresses) {
  if (addresses.isEmpty()) return active_;
  position = std::clamp(position, 0, rowCount_);
  const int count = static_cast<int>(addresses.size());
  const bool ok = inTransaction([&] {
    if (position < rowCount_ && !shiftRows(position, count)) return false;
    QSqlQuery insert(QSqlDatabase::database(connection_, false));
    insert.prepare(QStringLiteral("INSERT INTO address_row (pos, address) VALUES (?, ?)"));
    for (int i = 0; i < count; ++i) {
      insert.bindValue(0, position + i);
      insert.bindValue(1, notNull(addresses[i]));
      if (!insert.exec()) return fail(insert.lastError());
    }
    return true;
  });
  if (ok) rowCount_ += count;
  return ok;
}

bool Journal::removeRows(int position, int count) {
  if (position < 0 || count <= 0 || position >= rowCount_) return active_;
  count = std::min(count, rowCount_ - position);
  const bool ok = inTransaction([&] {
    QSqlQuery remove(QSqlDatabase::database(connection_, false));
    remove.prepare(QStringLiteral("DELETE FROM address_row WHERE pos >= ? AND pos < ?"));
    remove.addBindValue(position);
    remove.addBindValue(position + count);
    if (!remove.exec()) return fail(remove.lastError());
    return position + count >= rowCount_ || shiftRows(position + count, -count);
  });
  if (ok) rowCount_ -= count;
  return ok;
}

bool Journal::setStatus(int row, const QString& status) {
  if (!active_) return false;
  auto& q = statements_->status;
  q.bindValue(0, notNull(status));
  q.bindValue(1, row);
  return q.exec() || fail(q.lastError());
}

bool Journal::setPublishTime(int row, const QString& publishTime) {
  if (!active_) return false;
  auto& q = statements_->time;
  q.bindValue(0, notNull(publishTime));
  q.bindValue(1, row);
  return q.exec() || fail(q.lastError());
}

bool Journal::setOutcome(int row, const QString& status, const QString& publishTime) {
  if (!active_) return false;
  auto& q = statements_->outcome;
  q.bindValue(0, notNull(status));
  q.bindValue(1, notNull(publishTime));
  q.bindValue(2, row);
  return q.exec() || fail(q.lastError());
}

bool Journal::clearStatuses() {
  return active_ && exec(QStringLiteral("UPDATE address_row SET status = '', step = 0"));
}

bool Journal::setRowStep(int row, RowStep step) {
  if (!active_) return false;
  auto& q = statements_->step;
  q.bindValue(0, static_cast<int>(step));
  q.bindValue(1, row);
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
      q.bindValue(0, notNull(rows[i].status));
      q.bindValue(1, notNull(rows[i].publishTime));
      q.bindValue(2, first + static_cast<int>(i));
      if (!q.exec()) return fail(q.lastError());
    }
    return true;
  });
}

bool Journal::setRunState(const JournalRunState& state) {
  if (!active_) return false;
  auto& q = statements_->run;
  q.bindValue(0, state.running ? 1 : 0);
  q.bindValue(1, state.currentRow);
  q.bindValue(2, state.failedCount);
  return q.exec() || fail(q.lastError());
}

bool Journal::setImportedText(const QString& text) {
  if (!active_) return false;
  auto& q = statements_->imported;
  q.bindValue(0, notNull(text));
  return q.exec() || fail(q.lastError());
}

}  // namespace quillet
