// Files that are not a usable journal are moved aside, never overwritten;
// a folder that cannot be written leaves the journal off with one message.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "journal/journal.h"

using namespace quillet;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Runs SQL statements on a database file over a connection of its own.
bool runSql(const QString& path, const QStringList& statements) {
  bool ok = true;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
    db.setDatabaseName(path);
    ok = db.open();
    for (const QString& sql : statements) {
      QSqlQuery q(db);
      ok = ok && q.exec(sql);
    }
  }
  QSqlDatabase::removeDatabase(QStringLiteral("maker"));
  return ok;
}

// A real journal of `rows` rows, closed.
void makeJournal(const QString& dir, int rows) {
  Journal journal;
  QVERIFY(journal.open(dir));
  QStringList addresses;
  for (int i = 0; i < rows; ++i)
    addresses << QStringLiteral("http://item.example.cn/%1.htm?来源=分享&n=%2").arg(i).arg(i * 31);
  QVERIFY(journal.insertRows(0, addresses));
}

}  // namespace

class JournalFilesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void badFileIsMovedAside_data();
  void badFileIsMovedAside();
  void olderEmptyAndCurrentFilesAreKept();
  void unwritableFolderLeavesJournalOff();
};

void JournalFilesTest::badFileIsMovedAside_data() {
  QTest::addColumn<QString>("kind");
  QTest::newRow("text file") << QStringLiteral("text");
  QTest::newRow("random bytes") << QStringLiteral("random");
  QTest::newRow("damaged header") << QStringLiteral("header");
  QTest::newRow("damaged pages") << QStringLiteral("pages");
  QTest::newRow("foreign database") << QStringLiteral("foreign");
  QTest::newRow("newer version") << QStringLiteral("newer");
}

void JournalFilesTest::badFileIsMovedAside() {
  QFETCH(QString, kind);
  QTemporaryDir dir;
  const QString path = QDir(dir.path()).filePath(Journal::fileName());
  if (kind == QStringLiteral("text")) {
    QVERIFY(writeAll(path, "http://item.example/1\r\nhttp://item.example/2\r\n"));
  } else if (kind == QStringLiteral("random")) {
    QByteArray bytes(70000, '\0');
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
    QVERIFY(writeAll(path, bytes));
  } else if (kind == QStringLiteral("header") || kind == QStringLiteral("pages")) {
    makeJournal(dir.path(), 3000);
    if (QTest::currentTestFailed()) return;
    QByteArray bytes = readAll(path);
    QVERIFY(bytes.size() > 8 * 4096);
    if (kind == QStringLiteral("header")) {
      bytes.replace(0, 16, QByteArray(16, 'x'));
    } else {
      // Scribble over pages in the middle of the table's b-tree.
      for (int i = 3 * 4096; i < 6 * 4096; ++i) bytes[i] = static_cast<char>(i * 37);
    }
    QVERIFY(writeAll(path, bytes));
  } else if (kind == QStringLiteral("foreign")) {
    QVERIFY(runSql(path, {QStringLiteral("CREATE TABLE moz_cookies (id INTEGER, host TEXT)"),
                          QStringLiteral("INSERT INTO moz_cookies VALUES (1, 'example')")}));
  } else {
    makeJournal(dir.path(), 10);
    if (QTest::currentTestFailed()) return;
    QVERIFY(runSql(path, {QStringLiteral("UPDATE schema_version SET version = 99"),
                          QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")}));
  }
  // A log beside the file belongs to it and goes with it.
  const bool hadWal = QFile::exists(path + QStringLiteral("-wal"));
  const QByteArray before = readAll(path);

  Journal journal;
  QVERIFY2(journal.open(dir.path()), qPrintable(journal.message()));
  QVERIFY(journal.isActive());
  const QString moved = journal.brokenFilePath();
  QVERIFY(!moved.isEmpty());
  QVERIFY2(QFileInfo(moved).fileName().startsWith(QStringLiteral("quillet.db.broken-")),
           qPrintable(moved));
  QCOMPARE(readAll(moved), before);
  if (hadWal) QVERIFY(QFile::exists(moved + QStringLiteral("-wal")));
  QVERIFY(journal.message().contains(QDir::toNativeSeparators(moved)));
  // A fresh, working journal in its place.
  const JournalSnapshot s = journal.restore();
  QVERIFY(s.rows.isEmpty());
  QVERIFY(s.failed.isEmpty());
  QVERIFY(journal.insertRows(0, {QStringLiteral("new")}));
  journal.close();
  Journal again;
  QVERIFY(again.open(dir.path()));
  QVERIFY(again.message().isEmpty());
  QCOMPARE(again.restore().rows.size(), 1);
  QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("quillet.db.broken-*")}).size(),
           hadWal ? 2 : 1);
}

void JournalFilesTest::olderEmptyAndCurrentFilesAreKept() {
  QTemporaryDir dir;
  const QString path = QDir(dir.path()).filePath(Journal::fileName());
  // An empty file (as a copy tool may leave) is a new journal, not a broken one.
  QVERIFY(writeAll(path, QByteArray()));
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    QVERIFY(journal.brokenFilePath().isEmpty());
  }
  // A first-version file written by hand opens as it is, rows and all.
  QVERIFY(QFile::remove(path));
  QVERIFY(runSql(
      path,
      {QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)"),
       QStringLiteral("INSERT INTO schema_version VALUES (1)"),
       QStringLiteral("CREATE TABLE address_row (pos INTEGER PRIMARY KEY, address TEXT NOT NULL,"
                      " status TEXT NOT NULL DEFAULT '', publish_time TEXT NOT NULL DEFAULT '',"
                      " step INTEGER NOT NULL DEFAULT 0)"),
       QStringLiteral(
           "CREATE TABLE failed_address (pos INTEGER PRIMARY KEY, address TEXT NOT NULL)"),
       QStringLiteral("CREATE TABLE run_state (id INTEGER PRIMARY KEY CHECK (id = 1),"
                      " running INTEGER NOT NULL, current_row INTEGER NOT NULL,"
                      " failed_count INTEGER NOT NULL, imported_text TEXT NOT NULL)"),
       QStringLiteral("INSERT INTO run_state VALUES (1, 1, 1, 0, '已导入2个地址')"),
       QStringLiteral(
           "INSERT INTO address_row VALUES (0, 'x', '成功', 't', 0), (1, 'y', '', '', 0)")}));
  Journal journal;
  QVERIFY(journal.open(dir.path()));
  QVERIFY(journal.brokenFilePath().isEmpty());
  const JournalSnapshot s = journal.restore();
  QCOMPARE(s.rows.size(), 2);
  QCOMPARE(s.rows[0].status, QStringLiteral("成功"));
  QCOMPARE(s.importedText, QStringLiteral("已导入2个地址"));
  QCOMPARE(s.resumeRow, 1);
}

void JournalFilesTest::unwritableFolderLeavesJournalOff() {
  QTemporaryDir dir;
  // A data folder below a regular file can never be created, whoever runs
  // the test (the superuser ignores a folder's permission bits).
  const QString blocker = QDir(dir.path()).filePath(QStringLiteral("file"));
  QVERIFY(writeAll(blocker, "x"));
  const QString dataDir = QDir(blocker).filePath(QStringLiteral("data"));
  Journal journal;
  QVERIFY(!journal.open(dataDir));
  QVERIFY(!journal.isActive());
  QVERIFY(journal.message().contains(QDir::toNativeSeparators(dataDir)));
  QVERIFY(!journal.insertRows(0, {QStringLiteral("a")}));
  QVERIFY(!journal.setStatus(0, QStringLiteral("成功")));
  QVERIFY(journal.restore().rows.isEmpty());

  if (geteuid() != 0) {
    // A read-only folder that already holds a journal: it is not renamed,
    // not changed, and the journal stays off.
    const QString ro = QDir(dir.path()).filePath(QStringLiteral("ro"));
    makeJournal(ro, 5);
    const QByteArray before = readAll(QDir(ro).filePath(Journal::fileName()));
    QVERIFY(QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner));
    Journal readOnly;
    const bool opened = readOnly.open(ro);
    if (opened) QVERIFY(!readOnly.insertRows(0, {QStringLiteral("a")}));
    QVERIFY(!readOnly.message().isEmpty());
    QVERIFY(readOnly.brokenFilePath().isEmpty());
    QFile::setPermissions(ro, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(readAll(QDir(ro).filePath(Journal::fileName())), before);
  }
}

QTEST_GUILESS_MAIN(JournalFilesTest)
#include "journal_files_test.moc"
