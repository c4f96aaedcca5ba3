// The journal's round trip through a reopen, the settling of rows a crash
// left half-done, and a disk that fills up under a running journal.
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "journal/journal.h"

using namespace quillet;

Q_DECLARE_METATYPE(quillet::RowStep)

namespace {

QList<JournalRow> plainRows(const QStringList& addresses) {
  QList<JournalRow> rows;
  for (const QString& a : addresses) rows.append(JournalRow{a, {}, {}, RowStep::None});
  return rows;
}

// A row's status as the database holds it, read over a second connection.
QString storedStatus(const QString& path, int row) {
  QString status = QStringLiteral("<none>");
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
    db.setDatabaseName(path);
    if (db.open()) {
      QSqlQuery q(db);
      q.prepare(QStringLiteral("SELECT status FROM address_row WHERE pos = ?"));
      q.addBindValue(row);
      if (q.exec() && q.next()) status = q.value(0).toString();
    }
  }
  QSqlDatabase::removeDatabase(QStringLiteral("peek"));
  return status;
}

}  // namespace

class JournalTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void roundTripThroughReopen();
  void rowMovesKeepListOrder();
  void interruptedPassSettles_data();
  void interruptedPassSettles();
  void finishedOrStoppedPassIsNotInterrupted();
  void fullDiskTurnsJournalOff();
};

void JournalTest::roundTripThroughReopen() {
  QTemporaryDir dir;
  QList<JournalRow> expected;
  {
    Journal journal;
    QVERIFY2(journal.open(dir.path()), qPrintable(journal.message()));
    QVERIFY(journal.message().isEmpty());
    QVERIFY(journal.restore().rows.isEmpty());
    // An import goes on top, in the order given; a second one above it.
    QVERIFY(journal.insertRows(0, {QStringLiteral("http://a/3"), QStringLiteral("http://a/2"),
                                   QStringLiteral("http://a/1")}));
    QVERIFY(journal.insertRows(0, {QStringLiteral("新的,地址 \"x\""), QString()}));
    QVERIFY(journal.setImportedText(QStringLiteral("已导入5个地址")));
    QVERIFY(journal.setOutcome(0, QStringLiteral("成功"), QStringLiteral("2026-12-09 01:02:03")));
    QVERIFY(journal.setStatus(1, QStringLiteral("地址错误")));
    QVERIFY(journal.setStatus(2, QStringLiteral("失败")));
    QVERIFY(journal.setPublishTime(3, QStringLiteral("2026-12-08 23:00:00")));
    QVERIFY(journal.setStatus(3, QStringLiteral("失败")));
    QVERIFY(
        journal.setFailedAddresses({QStringLiteral("http://a/3"), QStringLiteral("http://a/2")}));
    QVERIFY(journal.setRunState({false, 4, 2}));
    QCOMPARE(journal.rowCount(), 5);
    expected = {
        {QStringLiteral("新的,地址 \"x\""), QStringLiteral("成功"),
         QStringLiteral("2026-12-09 01:02:03"), RowStep::None},
        {QString(), QStringLiteral("地址错误"), QString(), RowStep::None},
        {QStringLiteral("http://a/3"), QStringLiteral("失败"), QString(), RowStep::None},
        {QStringLiteral("http://a/2"), QStringLiteral("失败"),
         QStringLiteral("2026-12-08 23:00:00"), RowStep::None},
        {QStringLiteral("http://a/1"), QString(), QString(), RowStep::None},
    };
  }
  Journal reopened;
  QVERIFY(reopened.open(dir.path()));
  const JournalSnapshot s = reopened.restore();
  QCOMPARE(s.rows, expected);
  QCOMPARE(s.failed, (QStringList{QStringLiteral("http://a/3"), QStringLiteral("http://a/2")}));
  QCOMPARE(s.run, (JournalRunState{false, 4, 2}));
  QCOMPARE(s.importedText, QStringLiteral("已导入5个地址"));
  QCOMPARE(s.resumeRow, -1);
  QCOMPARE(reopened.rowCount(), 5);

  // Clearing the statuses keeps the times; a replaced list replaces all.
  QVERIFY(reopened.clearStatuses());
  QCOMPARE(storedStatus(reopened.filePath(), 0), QString());
  QVERIFY(reopened.replaceRows(plainRows({QStringLiteral("only")})));
  QVERIFY(reopened.setFailedAddresses({}));
  reopened.close();
  Journal third;
  QVERIFY(third.open(dir.path()));
  const JournalSnapshot t = third.restore();
  QCOMPARE(t.rows, plainRows({QStringLiteral("only")}));
  QVERIFY(t.failed.isEmpty());
}

void JournalTest::rowMovesKeepListOrder() {
  // Inserts and removals anywhere, checked against a plain list after a reopen.
  QTemporaryDir dir;
  QStringList mirror;
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    auto insert = [&](int pos, const QStringList& a) {
      QVERIFY(journal.insertRows(pos, a));
      for (int i = 0; i < a.size(); ++i) mirror.insert(pos + i, a[i]);
    };
    auto remove = [&](int pos, int count) {
      QVERIFY(journal.removeRows(pos, count));
      mirror.remove(pos, count);
    };
    QStringList batch;
    for (int i = 0; i < 50; ++i) batch << QStringLiteral("r%1").arg(i);
    insert(0, batch);
    insert(10, {QStringLiteral("m1"), QStringLiteral("m2")});
    insert(52, {QStringLiteral("end")});
    remove(0, 3);
    remove(20, 5);
    remove(journal.rowCount() - 1, 1);
    insert(0, {QStringLiteral("top")});
    // Past the end is clamped to the end; removing nothing changes nothing.
    QVERIFY(journal.insertRows(10000, {QStringLiteral("tail")}));
    mirror.append(QStringLiteral("tail"));
    QVERIFY(journal.removeRows(5, 0));
    QVERIFY(journal.removeRows(10000, 3));
    QVERIFY(journal.setStatus(1, QStringLiteral("成功")));
    QCOMPARE(journal.rowCount(), mirror.size());
  }
  Journal reopened;
  QVERIFY(reopened.open(dir.path()));
  const JournalSnapshot s = reopened.restore();
  QStringList addresses;
  for (const auto& row : s.rows) addresses << row.address;
  QCOMPARE(addresses, mirror);
  QCOMPARE(s.rows[1].status, QStringLiteral("成功"));
}

void JournalTest::interruptedPassSettles_data() {
  QTest::addColumn<int>("row");
  QTest::addColumn<RowStep>("step");
  QTest::addColumn<int>("storedCurrentRow");
  QTest::addColumn<int>("resumeRow");
  QTest::addColumn<QString>("status");
  // Killed between the steps of row 2 of 5 (CurrentRow advances as the
  // address is entered, and may or may not have been written yet).
  QTest::newRow("between rows") << 2 << RowStep::None << 2 << 2 << QString();
  QTest::newRow("address entered, row not yet advanced")
      << 2 << RowStep::AddressEntered << 2 << 2 << QString();
  QTest::newRow("address entered, row advanced")
      << 2 << RowStep::AddressEntered << 3 << 2 << QString();
  QTest::newRow("confirm clicked") << 2 << RowStep::ConfirmClicked << 3 << 3 << unconfirmedStatus();
  QTest::newRow("confirm clicked on the last row")
      << 4 << RowStep::ConfirmClicked << 5 << -1 << unconfirmedStatus();
}

void JournalTest::interruptedPassSettles() {
  QFETCH(int, row);
  QFETCH(RowStep, step);
  QFETCH(int, storedCurrentRow);
  QFETCH(int, resumeRow);
  QFETCH(QString, status);
  QTemporaryDir dir;
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    QVERIFY(journal.replaceRows(
        plainRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                   QStringLiteral("d"), QStringLiteral("e")})));
    QVERIFY(journal.setOutcome(0, QStringLiteral("成功"), QStringLiteral("t0")));
    QVERIFY(journal.setStatus(1, QStringLiteral("失败")));
    // The row's address failed in an earlier pass, or (confirm clicked)
    // its failure was being recorded as the process died.
    const QString address = QString(QLatin1Char('a' + row));
    QVERIFY(journal.setFailedAddresses({address, QStringLiteral("b")}));
    // An earlier pass's time stays with an unconfirmed row.
    QVERIFY(journal.setPublishTime(row, QStringLiteral("earlier")));
    QVERIFY(journal.setRowStep(row, step));
    QVERIFY(journal.setRunState({true, storedCurrentRow, 2}));
  }  // the process ends here without another word
  for (int restart = 0; restart < 2; ++restart) {
    Journal reopened;
    QVERIFY(reopened.open(dir.path()));
    const JournalSnapshot s = reopened.restore();
    QCOMPARE(s.rows.size(), 5);
    QCOMPARE(s.rows[row].status, status);
    QCOMPARE(s.rows[row].publishTime, QStringLiteral("earlier"));
    QCOMPARE(s.rows[0].status, QStringLiteral("成功"));
    QCOMPARE(s.unconfirmedCount, restart == 0 && step == RowStep::ConfirmClicked ? 1 : 0);
    for (const auto& r : s.rows) QCOMPARE(r.step, RowStep::None);
    QCOMPARE(s.resumeRow, resumeRow);
    QCOMPARE(s.run.running, resumeRow >= 0);
    if (resumeRow >= 0) QCOMPARE(s.run.currentRow, resumeRow);
    // An unconfirmed row is never offered for a re-send.
    const QString address = QString(QLatin1Char('a' + row));
    if (step == RowStep::ConfirmClicked) {
      QCOMPARE(s.failed, QStringList{QStringLiteral("b")});
      QCOMPARE(s.run.failedCount, 1);
    } else {
      QCOMPARE(s.failed, (QStringList{address, QStringLiteral("b")}));
      QCOMPARE(s.run.failedCount, 2);
    }
  }
  // Recording a status (as "清除状态" does) settles the row for good.
  Journal journal;
  QVERIFY(journal.open(dir.path()));
  QVERIFY(journal.setRowStep(row, RowStep::ConfirmClicked));
  QVERIFY(journal.setStatus(row, QString()));
  QCOMPARE(journal.restore().rows[row].status, QString());
}

void JournalTest::finishedOrStoppedPassIsNotInterrupted() {
  QTemporaryDir dir;
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    QVERIFY(journal.replaceRows(plainRows({QStringLiteral("a"), QStringLiteral("b")})));
    QVERIFY(journal.setRunState({false, 1, 0}));
  }
  Journal reopened;
  QVERIFY(reopened.open(dir.path()));
  const JournalSnapshot s = reopened.restore();
  QCOMPARE(s.resumeRow, -1);
  QCOMPARE(s.run, (JournalRunState{false, 1, 0}));
}

void JournalTest::fullDiskTurnsJournalOff() {
  QTemporaryDir dir;
  Journal journal;
  QVERIFY(journal.open(dir.path()));
  QVERIFY(journal.replaceRows(plainRows({QStringLiteral("kept")})));
  QVERIFY(journal.setStatus(0, QStringLiteral("成功")));
  QSignalSpy off(&journal, &Journal::turnedOff);
  {
    // SQLite's own page limit stands in for a full disk: the writes fail
    // with SQLITE_FULL exactly as they would when the disk is full.
    QSqlQuery limit(QSqlDatabase::database(journal.connectionName(), false));
    QVERIFY(limit.exec(QStringLiteral("PRAGMA page_count")) && limit.next());
    const int pages = limit.value(0).toInt();
    QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages)));
  }
  QStringList many;
  for (int i = 0; i < 5000; ++i) many << QStringLiteral("http://item.example/%1").arg(i);
  QVERIFY(!journal.insertRows(0, many));
  QVERIFY(!journal.isActive());
  QCOMPARE(off.count(), 1);
  const QString text = off.first().first().toString();
  QVERIFY2(text.contains(QDir::toNativeSeparators(dir.path())), qPrintable(text));
  QCOMPARE(journal.message(), text);
  // From now on every write is refused quietly, without another signal.
  QVERIFY(!journal.setStatus(0, QStringLiteral("失败")));
  QVERIFY(!journal.setRunState({true, 1, 0}));
  QVERIFY(!journal.insertRows(0, {QStringLiteral("x")}));
  QCOMPARE(off.count(), 1);
  QVERIFY(journal.restore().rows.isEmpty());
  journal.close();

  // What was committed before the failure is all there, the failed batch
  // left no trace.
  Journal reopened;
  QVERIFY(reopened.open(dir.path()));
  const JournalSnapshot s = reopened.restore();
  QCOMPARE(s.rows.size(), 1);
  QCOMPARE(s.rows[0].address, QStringLiteral("kept"));
  QCOMPARE(s.rows[0].status, QStringLiteral("成功"));
}

QTEST_GUILESS_MAIN(JournalTest)
#include "tst_journal.moc"
