#include "journal/journal_schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
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

constexpr std::array<Migration, kJournalSchemaVersion> kMigrations{&createVersion1};

}  // namespace

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
