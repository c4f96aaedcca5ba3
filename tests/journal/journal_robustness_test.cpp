// Journals on disk that cannot be written, that another connection is busy
// with, that were left with a write-ahead log, and that a session left behind
// after turning itself off: the list is read whenever the file can be read,
// a busy file is waited for and never renamed, a log is never lost, and a
// record that stopped short is never taken for a place to go on from.
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <future>
#include <thread>

#include "journal/journal.h"
#include "tests/journal/unwritable_path.h"

using namespace quillet;
using quillet::testing::Unwritable;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

const QStringList kAddresses{
    QStringLiteral("http://item.example.cn/0.htm"), QStringLiteral("http://item.example.cn/1.htm"),
    QStringLiteral("http://item.example.cn/2.htm"), QStringLiteral("http://item.example.cn/3.htm"),
    QStringLiteral("http://item.example.cn/4.htm")};

// A journal of five rows with a pass cut off by a crash: row 0 shared, row 1
// failed (in the failed list), row 2 confirmed with no result; the pass goes
// on with row 3. Closed without being read back.
void makeInterruptedJournal(const QString& dir) {
  Journal journal;
  QVERIFY(journal.open(dir));
  QVERIFY(journal.insertRows(0, kAddresses));
  JournalPass pass;
  pass.state = PassState::Running;
  pass.settings.periodSeconds = 30;
  for (int row = 0; row < 5; ++row) pass.rows << journal.keyAt(row);
  pass.lastKeyAtStart = journal.keyAt(4);
  const PassKey key = journal.startPass(pass);
  QVERIFY(key > 0);
  const qint64 first = journal.beginAttempt(journal.keyAt(0), key);
  QVERIFY(journal.confirmAttempt(first));
  QVERIFY(journal.finishAttempt(first, journal.keyAt(0), QStringLiteral("成功"),
                                QStringLiteral("2026-12-10 08:00:00")));
  const qint64 second = journal.beginAttempt(journal.keyAt(1), key);
  QVERIFY(journal.confirmAttempt(second));
  QVERIFY(journal.finishAttempt(second, journal.keyAt(1), QStringLiteral("失败"), QString()));
  QVERIFY(journal.setFailedAddresses({kAddresses[1]}));
  QVERIFY(journal.confirmAttempt(journal.beginAttempt(journal.keyAt(2), key)));
}

// What that journal reads back as.
void checkInterrupted(const JournalSnapshot& s) {
  QCOMPARE(s.rows.size(), 5);
  for (int row = 0; row < 5; ++row) QCOMPARE(s.rows[row].address, kAddresses[row]);
  QCOMPARE(s.rows[0].status, QStringLiteral("成功"));
  QCOMPARE(s.rows[0].publishTime, QStringLiteral("2026-12-10 08:00:00"));
  QCOMPARE(s.rows[1].status, QStringLiteral("失败"));
  QCOMPARE(s.rows[2].status, unconfirmedStatus());
  QCOMPARE(s.rows[3].status, QString());
  QCOMPARE(s.failed, QStringList{kAddresses[1]});
  QVERIFY(s.pass.has_value());
  QCOMPARE(s.pass->settings.periodSeconds, 30.0);
  QCOMPARE(s.resumeRow, 3);
}

QStringList brokenFiles(const QString& dir) {
  return QDir(dir).entryList({QStringLiteral("quillet.db.broken-*")},
                             QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

// Another program's connection that holds the journal's write lock (a write
// transaction under way) from start() until release().
class WriteLockHolder {
 public:
  explicit WriteLockHolder(QString path) : path_(std::move(path)) {}
  ~WriteLockHolder() {
    release();
    if (thread_.joinable()) thread_.join();
  }
  // True once the lock is held.
  bool start() {
    std::promise<bool> taken;
    std::future<bool> held = taken.get_future();
    thread_ = std::thread([this, taken = std::move(taken)]() mutable {
      const QString name = QStringLiteral("other-program");
      {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path_);
        QSqlQuery q(db);
        const bool ok = db.open() && q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                        q.exec(QStringLiteral("UPDATE run_state SET imported_text = '忙'"));
        taken.set_value(ok);
        while (ok && !released_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (ok) q.exec(QStringLiteral("ROLLBACK"));
        q.finish();
        db.close();
      }
      QSqlDatabase::removeDatabase(name);
    });
    return held.get();
  }
  void release() { released_ = true; }

 private:
  QString path_;
  std::thread thread_;
  std::atomic<bool> released_{false};
};

// Another program's database in WAL mode, copied while it was live: the file
// and its write-ahead log holding commits not yet in the file, as a crash
// leaves them. Not a journal of ours, so it is moved aside.
void makeForeignWithLog(const QString& from, const QString& to) {
  const QString name = QStringLiteral("foreign");
  const QString db = QDir(from).filePath(Journal::fileName());
  {
    QSqlDatabase live = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    live.setDatabaseName(db);
    QVERIFY(live.open());
    QSqlQuery q(live);
    QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode = WAL")));
    QVERIFY(q.exec(QStringLiteral("PRAGMA wal_autocheckpoint = 0")));
    QVERIFY(q.exec(QStringLiteral("CREATE TABLE moz_cookies (id INTEGER, host TEXT)")));
    for (int i = 0; i < 50; ++i)
      QVERIFY(q.exec(QStringLiteral("INSERT INTO moz_cookies VALUES (%1, 'example')").arg(i)));
    q.finish();
    QVERIFY(QFileInfo(db + QStringLiteral("-wal")).size() > 0);
    const QString target = QDir(to).filePath(Journal::fileName());
    QVERIFY(QFile::copy(db, target));
    QVERIFY(QFile::copy(db + QStringLiteral("-wal"), target + QStringLiteral("-wal")));
    live.close();
  }
  QSqlDatabase::removeDatabase(name);
}

}  // namespace

class JournalRobustnessTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // A journal file that cannot be written is read over a read-only
  // connection: the list, the failed list and the interrupted pass as they
  // are, nothing settled, nothing written, nothing renamed.
  void unwritableFileIsReadAsItIs() {
    QTemporaryDir dir;
    makeInterruptedJournal(dir.path());
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(dir.path()).filePath(Journal::fileName());
    const QByteArray before = readAll(path);
    {
      Unwritable guard(path);
      if (!guard.ok()) QSKIP("this file system cannot make a file unwritable");
      Journal journal;
      QVERIFY(!journal.open(dir.path()));
      QVERIFY(!journal.isActive());
      QVERIFY2(!journal.message().isEmpty(), "the user is told why");
      const JournalSnapshot s = journal.restore();
      QVERIFY(s.readOnly);
      checkInterrupted(s);
      QVERIFY(!journal.insertRows(0, {QStringLiteral("x")}));
      journal.close();
      QCOMPARE(readAll(path), before);
      QVERIFY(brokenFiles(dir.path()).isEmpty());
    }
    // Writable again: the same journal, and now the crash is settled.
    Journal journal;
    QVERIFY2(journal.open(dir.path()), qPrintable(journal.message()));
    const JournalSnapshot s = journal.restore();
    QVERIFY(!s.readOnly);
    QVERIFY(!s.stale);
    checkInterrupted(s);
  }

  // The same in a folder that cannot be written, where a reader of the file
  // cannot even make its index beside it.
  void unwritableFolderIsReadAsItIs() {
    QTemporaryDir dir;
    const QString data = QDir(dir.path()).filePath(QStringLiteral("data"));
    makeInterruptedJournal(data);
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(data).filePath(Journal::fileName());
    const QByteArray before = readAll(path);
    const QStringList files = QDir(data).entryList(QDir::Files);
    {
      Unwritable guard(data);
      if (!guard.ok()) QSKIP("this file system cannot make a folder unwritable");
      Journal journal;
      QVERIFY(!journal.open(data));
      QVERIFY(!journal.message().isEmpty());
      const JournalSnapshot s = journal.restore();
      QVERIFY(s.readOnly);
      checkInterrupted(s);
      journal.close();
    }
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(data).entryList(QDir::Files), files);
  }

  // Another connection holding the write lock for a while (longer than one
  // busy wait) is waited for: the journal opens, writes, and is not renamed.
  void busyJournalIsWaitedFor() {
    QTemporaryDir dir;
    makeInterruptedJournal(dir.path());
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(dir.path()).filePath(Journal::fileName());
    WriteLockHolder other(path);
    QVERIFY(other.start());
    std::thread letGo([&other] {
      std::this_thread::sleep_for(std::chrono::milliseconds(3500));
      other.release();
    });
    Journal journal;
    const bool opened = journal.open(dir.path());
    letGo.join();
    QVERIFY2(opened, qPrintable(journal.message()));
    QVERIFY(journal.brokenFilePath().isEmpty());
    QVERIFY(brokenFiles(dir.path()).isEmpty());
    const JournalSnapshot s = journal.restore();
    QVERIFY(!s.readOnly);
    checkInterrupted(s);
    QVERIFY(journal.insertRows(0, {QStringLiteral("new")}));
  }

  // A lock that is never let go: the journal gives up writing, but shows
  // the list it read (never an empty one), and leaves the file alone.
  void journalBusyThroughoutIsShownReadOnly() {
    QTemporaryDir dir;
    makeInterruptedJournal(dir.path());
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(dir.path()).filePath(Journal::fileName());
    WriteLockHolder other(path);
    QVERIFY(other.start());
    Journal journal;
    QVERIFY(!journal.open(dir.path()));
    QVERIFY(!journal.message().isEmpty());
    QVERIFY(journal.brokenFilePath().isEmpty());
    const JournalSnapshot s = journal.restore();
    QVERIFY(s.readOnly);
    checkInterrupted(s);
    journal.close();
    other.release();
    QVERIFY(brokenFiles(dir.path()).isEmpty());
    Journal again;
    QVERIFY2(again.open(dir.path()), qPrintable(again.message()));
    checkInterrupted(again.restore());
  }

  // A file that is no journal of ours is renamed together with its
  // write-ahead log, byte for byte.
  void brokenJournalKeepsItsLog() {
    QTemporaryDir live;
    QTemporaryDir dir;
    makeForeignWithLog(live.path(), dir.path());
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(dir.path()).filePath(Journal::fileName());
    const QByteArray bytes = readAll(path);
    const QByteArray log = readAll(path + QStringLiteral("-wal"));

    Journal journal;
    QVERIFY2(journal.open(dir.path()), qPrintable(journal.message()));
    const QString moved = journal.brokenFilePath();
    QVERIFY(!moved.isEmpty());
    QCOMPARE(readAll(moved), bytes);
    QCOMPARE(readAll(moved + QStringLiteral("-wal")), log);
    QVERIFY(journal.restore().rows.isEmpty());
  }

  // When the log cannot go with the broken file, neither goes: the file is
  // put back and the log is never deleted.
  void logThatCannotBeMovedIsNeverDeleted() {
    QTemporaryDir live;
    QTemporaryDir dir;
    makeForeignWithLog(live.path(), dir.path());
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(dir.path()).filePath(Journal::fileName());
    const QByteArray bytes = readAll(path);
    const QByteArray log = readAll(path + QStringLiteral("-wal"));
    // The names the log would be renamed to, for the next minute, are taken
    // by folders that are not empty.
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = -1; s < 60; ++s) {
      const QString stamp = now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss"));
      const QString blocker = path + QStringLiteral(".broken-") + stamp + QStringLiteral("-wal");
      QVERIFY(QDir().mkpath(blocker));
      QVERIFY(writeAll(QDir(blocker).filePath(QStringLiteral("keep")), "x"));
    }

    Journal journal;
    QVERIFY(!journal.open(dir.path()));
    QVERIFY(!journal.isActive());
    QVERIFY(!journal.message().isEmpty());
    QVERIFY(journal.restore().rows.isEmpty());
    journal.close();
    QCOMPARE(readAll(path), bytes);
    QCOMPARE(readAll(path + QStringLiteral("-wal")), log);
    QVERIFY(
        QDir(dir.path()).entryList({QStringLiteral("quillet.db.broken-*")}, QDir::Files).isEmpty());
  }

  // A journal that turned itself off mid-pass (a full disk) leaves a record
  // that stopped short: the next start says so and offers no place to go on
  // from; the pass is settled as finished and told about once.
  void journalThatTurnedOffOffersNoResume() {
    QTemporaryDir dir;
    makeInterruptedJournal(dir.path());
    if (QTest::currentTestFailed()) return;
    {
      Journal journal;
      QVERIFY(journal.open(dir.path()));
      const JournalSnapshot s = journal.restore();
      QVERIFY(!s.stale);
      QCOMPARE(s.resumeRow, 3);
      QSignalSpy off(&journal, &Journal::turnedOff);
      {
        // SQLite's page limit stands in for a full disk (SQLITE_FULL).
        QSqlQuery limit(QSqlDatabase::database(journal.connectionName(), false));
        QVERIFY(limit.exec(QStringLiteral("PRAGMA page_count")) && limit.next());
        const int pages = limit.value(0).toInt();
        QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages)));
      }
      QStringList many;
      for (int i = 0; i < 5000; ++i) many << QStringLiteral("http://item.example/%1").arg(i);
      QVERIFY(!journal.insertRows(0, many));
      QCOMPARE(off.count(), 1);
      // The pass went on in memory from here; the file still says row 3.
    }
    Journal journal;
    QVERIFY2(journal.open(dir.path()), qPrintable(journal.message()));
    const JournalSnapshot s = journal.restore();
    QVERIFY(s.stale);
    QCOMPARE(s.resumeRow, -1);
    QVERIFY(s.pass.has_value());
    QCOMPARE(s.pass->state, PassState::Finished);
    QCOMPARE(s.rows.size(), 5);  // the list itself is shown as recorded
    journal.close();

    Journal later;
    QVERIFY(later.open(dir.path()));
    const JournalSnapshot t = later.restore();
    QVERIFY(!t.stale);
    QCOMPARE(t.resumeRow, -1);
    QCOMPARE(t.pass->state, PassState::Finished);
  }
};

QTEST_GUILESS_MAIN(JournalRobustnessTest)
#include "journal_robustness_test.moc"
