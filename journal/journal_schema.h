#pragma once

#include <QString>

class QSqlDatabase;

namespace quillet {

/// The schema version that this program writes.
inline constexpr int kJournalSchemaVersion = 2;

/// What an opened journal file turned out to be.
enum class SchemaState {
  Current,  // ours, at kJournalSchemaVersion (or brought up to it)
  Empty,    // no tables at all: a new file
  Newer,    // ours, written by a later version of the program
  Foreign,  // an SQLite database of something else
};

/// Reads the schema version of an open database; fails (returns false) when
/// the file cannot be read as a database at all.
bool inspectSchema(QSqlDatabase& db, SchemaState& state, int& version, QString& error);

/// Creates the tables of a new journal or migrates an older one, up to
/// kJournalSchemaVersion, in one transaction.
bool createOrMigrateSchema(QSqlDatabase& db, int fromVersion, QString& error);

/// Creates the tables that came after version 2 without changing what it
/// reads or writes (a program of version 2 ignores them, this one reads a
/// file without them as holding nothing), when they are missing. Fails only
/// when the file cannot be written; the journal is usable all the same.
bool addOptionalTables(QSqlDatabase& db, QString& error);

}  // namespace quillet
