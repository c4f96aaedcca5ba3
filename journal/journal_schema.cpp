#include "journal/journal_schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <array>

namespace quillet {

namespace {

bool run(QSqlDatabase& db, const QString& sql, QString& error) {
  QSqlQuery query(db);
  if (query.exec(sql)) return true;
  error = query.lastError().text();
  return false;
}

// Migration i takes a journal from version i to version i + 1; version 0
// is a file without tables. A later schema appends a step here and never
// edits an earlier one, so that every old file follows the same road.
using Migration = bool (*)(QSqlDatabase&, QString&);

bool createVersion1(QSqlDatabase& db, QString& error) {
  // pos is the row's 0-based place in the list (the rowid, so that the list
  // reads back in order straight from the table). step is a RowStep.
  return run(db,
             QStringLiteral("CREATE TABLE address_row ("
                            " pos INTEGER PRIMARY KEY,"
                            " address TEXT NOT NULL,"
                            " status TEXT NOT NULL DEFAULT '',"
                            " publish_time TEXT NOT NULL DEFAULT '',"
                            " step INTEGER NOT NULL DEFAULT 0)"),
             error) &&
         run(db,
             QStringLiteral("CREATE TABLE failed_address ("
                            " pos INTEGER PRIMARY KEY,"
                            " address TEXT NOT NULL)"),
             error) &&
         run(db,
             QStringLiteral("CREATE TABLE run_state ("
                            " id INTEGER PRIMARY KEY CHECK (id = 1),"
                            " running INTEGER NOT NULL,"
                            " current_row INTEGER NOT NULL,"
                            " failed_count INTEGER NOT NULL,"
                            " imported_text TEXT NOT NULL)"),
             error) &&
         run(db, QStringLiteral("INSERT INTO run_state VALUES (1, 0, 0, 0, '')"), error);
}

// Version 2: rows with keys that never change (positions only order them),
// passes with their rows and settings, and the history of every attempt.
// The version-1 run state becomes a pass: an interrupted one goes on with
// the row its place and step marks pointed at, up to the end of the list.
bool createVersion2(QSqlDatabase& db, QString& error) {
  if (!run(db,
           QStringLiteral("CREATE TABLE list_row ("
                          " id INTEGER PRIMARY KEY,"
                          " ord INTEGER NOT NULL,"
                          " address TEXT NOT NULL,"
                          " status TEXT NOT NULL DEFAULT '',"
                          " publish_time TEXT NOT NULL DEFAULT '')"),
           error) ||
      !run(db, QStringLiteral("CREATE INDEX list_row_ord ON list_row (ord)"), error) ||
      // An attempt: its marks' times (entered_at, confirmed_at; NULL when the
      // step was not reached) and its outcome (NULL while none is recorded,
      // '' when the status was cleared instead).
      !run(db,
           QStringLiteral("CREATE TABLE attempt ("
                          " id INTEGER PRIMARY KEY,"
                          " row_id INTEGER NOT NULL,"
                          " pass_id INTEGER,"
                          " entered_at TEXT,"
                          " confirmed_at TEXT,"
                          " outcome TEXT,"
                          " outcome_at TEXT)"),
           error) ||
      !run(db, QStringLiteral("CREATE INDEX attempt_row ON attempt (row_id)"), error) ||
      !run(db, QStringLiteral("CREATE INDEX attempt_pass ON attempt (pass_id, row_id)"), error) ||
      !run(db,
           QStringLiteral("CREATE TABLE pass ("
                          " id INTEGER PRIMARY KEY,"
                          " kind INTEGER NOT NULL,"
                          " state INTEGER NOT NULL,"
                          " period_ms INTEGER NOT NULL,"
                          " loop INTEGER NOT NULL,"
                          " comment INTEGER NOT NULL,"
                          " jitter_ms INTEGER NOT NULL,"
                          " source_file TEXT NOT NULL,"
                          " failed_count INTEGER NOT NULL,"
                          " last_row_key INTEGER NOT NULL,"
                          " started_at TEXT NOT NULL)"),
           error) ||
      !run(db,
           QStringLiteral("CREATE TABLE pass_row ("
                          " pass_id INTEGER NOT NULL,"
                          " seq INTEGER NOT NULL,"
                          " row_id INTEGER NOT NULL,"
                          " PRIMARY KEY (pass_id, seq)) WITHOUT ROWID"),
           error)) {
    return false;
  }

  // The old rows keep their order; key = place + 1.
  if (!run(db,
           QStringLiteral("INSERT INTO list_row (id, ord, address, status, publish_time)"
                          " SELECT pos + 1, pos, address, status, publish_time FROM address_row"),
           error)) {
    return false;
  }
  QSqlQuery state(db);
  if (!state.exec(QStringLiteral("SELECT running, current_row, failed_count FROM run_state")) ||
      !state.next()) {
    error = state.lastError().text();
    return false;
  }
  const bool running = state.value(0).toInt() != 0;
  const qint64 place = state.value(1).toLongLong();
  const qint64 failedCount = state.value(2).toLongLong();
  state.finish();

  qint64 rowCount = 0;
  qint64 entered = -1;
  qint64 confirmed = -1;
  {
    QSqlQuery marks(db);
    if (!marks.exec(QStringLiteral("SELECT COUNT(*),"
                                   " (SELECT MIN(pos) FROM address_row WHERE step = 1),"
                                   " (SELECT MAX(pos) FROM address_row WHERE step = 2)"
                                   " FROM address_row")) ||
        !marks.next()) {
      error = marks.lastError().text();
      return false;
    }
    rowCount = marks.value(0).toLongLong();
    if (!marks.value(1).isNull()) entered = marks.value(1).toLongLong();
    if (!marks.value(2).isNull()) confirmed = marks.value(2).toLongLong();
  }

  qint64 passId = 0;
  if (running) {
    // Where the old restore would have gone on: an entered address was
    // never shared (that row again), a confirmed one may have been (the row
    // after it).
    qint64 resume = std::clamp<qint64>(place, 0, rowCount);
    if (entered >= 0) resume = entered;
    if (confirmed >= 0 && entered < 0) resume = std::max(resume, confirmed + 1);
    resume = std::min(resume, rowCount);
    passId = 1;
    QSqlQuery pass(db);
    pass.prepare(QStringLiteral(
        "INSERT INTO pass VALUES (1, 0, ?, 0, 0, 0, 0, '', ?,"
        " (SELECT COALESCE(MAX(pos) + 1, 0) FROM address_row), datetime('now', 'localtime'))"));
    pass.addBindValue(resume < rowCount ? 0 : 2);
    pass.addBindValue(failedCount);
    QSqlQuery rows(db);
    rows.prepare(
        QStringLiteral("INSERT INTO pass_row (pass_id, seq, row_id)"
                       " SELECT 1, pos - ?, pos + 1 FROM address_row WHERE pos >= ?"));
    rows.addBindValue(resume);
    rows.addBindValue(resume);
    if (!pass.exec() || !rows.exec()) {
      error = (pass.lastError().isValid() ? pass.lastError() : rows.lastError()).text();
      return false;
    }
  }
  // The pending marks become attempts without an outcome (of the
  // interrupted pass, when there was one).
  QSqlQuery attempts(db);
  attempts.prepare(
      QStringLiteral("INSERT INTO attempt (row_id, pass_id, entered_at, confirmed_at)"
                     " SELECT pos + 1, NULLIF(?, 0), '', CASE step WHEN 2 THEN '' END"
                     " FROM address_row WHERE step IN (1, 2) ORDER BY pos"));
  attempts.addBindValue(passId);
  if (!attempts.exec()) {
    error = attempts.lastError().text();
    return false;
  }
  attempts.finish();
  return run(db, QStringLiteral("DROP TABLE address_row"), error);
}

constexpr std::array<Migration, kJournalSchemaVersion> kMigrations{&createVersion1,
                                                                   &createVersion2};

}  // namespace

bool addOptionalTables(QSqlDatabase& db, QString& error) {
  // The hold a pass is in (one at most): its kind, the row it holds at, when
  // its wait ends (ms since the epoch, 0: none), the rows it tries again
  // (keys separated by commas) and the hold decisions' state (JSON).
  return run(db,
             QStringLiteral("CREATE TABLE IF NOT EXISTS pass_hold ("
                            " pass_id INTEGER PRIMARY KEY,"
                            " kind INTEGER NOT NULL,"
                            " row_id INTEGER NOT NULL,"
                            " until_ms INTEGER NOT NULL,"
                            " retry_rows TEXT NOT NULL,"
                            " policy TEXT NOT NULL)"),
             error);
}

bool inspectSchema(QSqlDatabase& db, SchemaState& state, int& version, QString& error) {
  QSqlQuery tables(db);
  if (!tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
    error = tables.lastError().text();
    return false;
  }
  QStringList names;
  while (tables.next()) names << tables.value(0).toString();
  version = 0;
  if (names.isEmpty()) {
    state = SchemaState::Empty;
    return true;
  }
  if (!names.contains(QStringLiteral("schema_version"))) {
    state = SchemaState::Foreign;
    return true;
  }
  QSqlQuery read(db);
  if (!read.exec(QStringLiteral("SELECT version FROM schema_version")) || !read.next()) {
    state = SchemaState::Foreign;
    return true;
  }
  bool ok = false;
  version = read.value(0).toInt(&ok);
  if (!ok || version < 1) {
    state = SchemaState::Foreign;
  } else if (version > kJournalSchemaVersion) {
    state = SchemaState::Newer;
  } else {
    state = SchemaState::Current;
  }
  return true;
}

bool createOrMigrateSchema(QSqlDatabase& db, int fromVersion, QString& error) {
  if (fromVersion >= kJournalSchemaVersion) return true;
  if (!db.transaction()) {
    error = db.lastError().text();
    return false;
  }
  bool ok = true;
  if (fromVersion == 0) {
    ok = run(db, QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)"), error) &&
         run(db, QStringLiteral("INSERT INTO schema_version VALUES (0)"), error);
  }
  for (int v = fromVersion; ok && v < kJournalSchemaVersion; ++v) ok = kMigrations[v](db, error);
  if (ok) {
    QSqlQuery set(db);
    set.prepare(QStringLiteral("UPDATE schema_version SET version = ?"));
    set.addBindValue(kJournalSchemaVersion);
    ok = set.exec();
    if (!ok) error = set.lastError().text();
  }
  if (ok && db.commit()) return true;
  if (ok) error = db.lastError().text();
  db.rollback();
  return false;
}

}  // namespace quillet
