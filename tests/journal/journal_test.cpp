// The journal's round trip through a reopen, the settling of rows a crash
// left half-done, and a disk that fills up under a running journal.
#include <QDir>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "journal/journal.h"

using namespace quillet;

Q_DECLARE_METATYPE(quillet::RowStep)

namespace {

QList<JournalRow> plainRows(const QStringList& addresses) {
  QList<JournalRow> rows;
  for (const QString& a : addresses) rows.append(JournalRow{a, {}, {}});
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
      q.prepare(QStringLiteral("SELECT status FROM list_row ORDER BY ord LIMIT 1 OFFSET ?"));
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
  void stoppedPassIsNotInterrupted();
  void holdSurvivesARestart();
  void journalWithoutHoldTableReadsAndTakesOne();
  void fullDiskTurnsJournalOff();
  void versionOneJournalMigrates();
};

void JournalTest::roundTripThroughReopen() {
  QTemporaryDir dir;
  QList<JournalRow> expected;
  JournalPass stopped;
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
    // A stopped pass over three of the rows, with its settings.
    stopped.kind = PassKind::FromRow;
    stopped.state = PassState::Stopped;
    stopped.settings = PassSettings{30.5, true, true, 2.25};
    stopped.sourceFile = QStringLiteral("/tmp/清单.txt");
    stopped.rows = {journal.keyAt(4), journal.keyAt(2), journal.keyAt(3)};
    stopped.failedCount = 2;
    stopped.key = journal.startPass(stopped);
    QVERIFY(stopped.key > 0);
    QVERIFY(journal.updatePass(stopped));
    QCOMPARE(journal.rowCount(), 5);
    expected = {
        {QStringLiteral("新的,地址 \"x\""), QStringLiteral("成功"),
         QStringLiteral("2026-12-09 01:02:03")},
        {QString(), QStringLiteral("地址错误"), QString()},
        {QStringLiteral("http://a/3"), QStringLiteral("失败"), QString()},
        {QStringLiteral("http://a/2"), QStringLiteral("失败"),
         QStringLiteral("2026-12-08 23:00:00")},
        {QStringLiteral("http://a/1"), QString(), QString()},
    };
  }
  Journal reopened;
  QVERIFY(reopened.open(dir.path()));
  const JournalSnapshot s = reopened.restore();
  QCOMPARE(s.rows, expected);
  QCOMPARE(s.failed, (QStringList{QStringLiteral("http://a/3"), QStringLiteral("http://a/2")}));
  QVERIFY(s.pass.has_value());
  QCOMPARE(s.pass->key, stopped.key);
  QCOMPARE(s.pass->kind, PassKind::FromRow);
  QCOMPARE(s.pass->state, PassState::Stopped);
  QVERIFY(s.pass->settings == stopped.settings);
  QCOMPARE(s.pass->sourceFile, stopped.sourceFile);
  QCOMPARE(s.pass->rows, stopped.rows);
  QCOMPARE(s.pass->failedCount, 2);
  // The keys came back with their rows.
  QCOMPARE(s.rows[4].key, stopped.rows[0]);
  QCOMPARE(s.importedText, QStringLiteral("已导入5个地址"));
  // A stopped pass goes on with its first row without an outcome in it.
  QCOMPARE(s.resumeRow, 4);
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
  QTest::addColumn<int>("resumeRow");
  QTest::addColumn<QString>("status");
  // Killed between the steps of row 2 of 5 of a pass over the whole list.
  QTest::newRow("between rows") << 2 << RowStep::None << 2 << QString();
  QTest::newRow("address entered") << 2 << RowStep::AddressEntered << 2 << QString();
  QTest::newRow("confirm clicked") << 2 << RowStep::ConfirmClicked << 3 << unconfirmedStatus();
  // Its last row confirmed, the pass has nothing left: finished.
  QTest::newRow("confirm clicked on the last row")
      << 4 << RowStep::ConfirmClicked << -1 << unconfirmedStatus();
}

void JournalTest::interruptedPassSettles() {
  QFETCH(int, row);
  QFETCH(RowStep, step);
  QFETCH(int, resumeRow);
  QFETCH(QString, status);
  QTemporaryDir dir;
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    QVERIFY(journal.replaceRows(
        plainRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                   QStringLiteral("d"), QStringLiteral("e")})));
    JournalPass pass;
    for (int i = 0; i < 5; ++i) pass.rows << journal.keyAt(i);
    pass.failedCount = 2;
    QVERIFY(journal.startPass(pass) > 0);
    // Rows 0 and 1 have their outcomes in the pass (and row 3 one from
    // before it, which does not count).
    QVERIFY(journal.setRowStep(0, RowStep::AddressEntered));
    QVERIFY(journal.setRowStep(0, RowStep::ConfirmClicked));
    QVERIFY(journal.setOutcome(0, QStringLiteral("成功"), QStringLiteral("t0")));
    QVERIFY(journal.setRowStep(1, RowStep::AddressEntered));
    QVERIFY(journal.setStatus(1, QStringLiteral("失败")));
    for (int done = 2; done < row; ++done) {
      QVERIFY(journal.setRowStep(done, RowStep::ConfirmClicked));
      QVERIFY(journal.setOutcome(done, QStringLiteral("成功"), QStringLiteral("t")));
    }
    // The row's address failed in an earlier pass, or (confirm clicked)
    // its failure was being recorded as the process died.
    const QString address = QString(QLatin1Char('a' + row));
    QVERIFY(journal.setFailedAddresses({address, QStringLiteral("b")}));
    // An earlier pass's time stays with an unconfirmed row.
    QVERIFY(journal.setPublishTime(row, QStringLiteral("earlier")));
    if (step != RowStep::None) QVERIFY(journal.setRowStep(row, RowStep::AddressEntered));
    if (step == RowStep::ConfirmClicked) QVERIFY(journal.setRowStep(row, step));
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
    QCOMPARE(s.resumeRow, resumeRow);
    QVERIFY(s.pass.has_value());
    QCOMPARE(s.pass->state == PassState::Running, resumeRow >= 0);
    QCOMPARE(s.pass->rows.size(), 5);
    // An unconfirmed row is never offered for a re-send.
    const QString address = QString(QLatin1Char('a' + row));
    if (step == RowStep::ConfirmClicked) {
      QCOMPARE(s.failed, QStringList{QStringLiteral("b")});
      QCOMPARE(s.pass->failedCount, 1);
    } else {
      QCOMPARE(s.failed, (QStringList{address, QStringLiteral("b")}));
      QCOMPARE(s.pass->failedCount, 2);
    }
  }
  // Recording a status (as "清除状态" does) settles the row for good.
  Journal journal;
  QVERIFY(journal.open(dir.path()));
  QVERIFY(journal.setRowStep(row, RowStep::ConfirmClicked));
  QVERIFY(journal.setStatus(row, QString()));
  QCOMPARE(journal.restore().rows[row].status, QString());
}

void JournalTest::stoppedPassIsNotInterrupted() {
  QTemporaryDir dir;
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    QVERIFY(journal.replaceRows(plainRows({QStringLiteral("a"), QStringLiteral("b")})));
    // A finished pass, then a stopped one with a row left.
    JournalPass pass;
    pass.rows = {journal.keyAt(0), journal.keyAt(1)};
    pass.key = journal.startPass(pass);
    pass.state = PassState::Finished;
    QVERIFY(journal.updatePass(pass));
    pass.state = PassState::Running;
    pass.key = journal.startPass(pass);
    pass.state = PassState::Stopped;
    QVERIFY(journal.setRowStep(0, RowStep::AddressEntered));
    QVERIFY(journal.setStatus(0, QStringLiteral("失败")));
    QVERIFY(journal.updatePass(pass));
  }
  Journal reopened;
  QVERIFY(reopened.open(dir.path()));
  const JournalSnapshot s = reopened.restore();
  // Not interrupted, but "发表" goes on with its row that is not done.
  QVERIFY(s.pass.has_value());
  QCOMPARE(s.pass->state, PassState::Stopped);
  QCOMPARE(s.pass->done.size(), 1);
  QCOMPARE(s.resumeRow, 1);
}

// A pass that holds (muted, two rows to try again) and dies: the hold comes
// back with the pass, and the rows it tries again are not done in the pass
// although their confirms were clicked; a row whose confirm was clicked and
// whose try was not turned away stays done (never shared twice).
void JournalTest::holdSurvivesARestart() {
  QTemporaryDir dir;
  JournalHold hold;
  hold.kind = HoldKind::Muted;
  hold.untilMs = 1'765'000'000'123;
  hold.policy = QByteArrayLiteral("{\"muteHolds\":1}");
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    QVERIFY(journal.replaceRows(plainRows(
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")})));
    JournalPass pass;
    for (int i = 0; i < 4; ++i) pass.rows << journal.keyAt(i);
    pass.key = journal.startPass(pass);
    QVERIFY(pass.key > 0);
    for (int row = 0; row < 3; ++row) {
      QVERIFY(journal.beginAttempt(journal.keyAt(row), pass.key) > 0);
      QVERIFY(journal.setRowStep(row, RowStep::ConfirmClicked));
    }
    QVERIFY(journal.setOutcome(0, QStringLiteral("成功"), QStringLiteral("t0")));
    QVERIFY(journal.setStatus(1, QStringLiteral("失败")));
    QVERIFY(journal.releaseAttempt(journal.keyAt(1)));
    QVERIFY(journal.setStatus(1, QString()));
    // Row 2's try was turned away before a result was recorded.
    QVERIFY(journal.releaseAttempt(journal.keyAt(2)));
    hold.row = journal.keyAt(1);
    hold.retryRows = {journal.keyAt(1), journal.keyAt(2)};
    QVERIFY(journal.setPassHold(pass.key, hold));
  }
  JournalHold expected = hold;
  for (int restart = 0; restart < 2; ++restart) {
    Journal reopened;
    QVERIFY(reopened.open(dir.path()));
    const JournalSnapshot s = reopened.restore();
    QVERIFY(s.pass.has_value());
    QVERIFY(s.pass->hold.has_value());
    QCOMPARE(*s.pass->hold, expected);
    QCOMPARE(s.pass->done, QSet<RowKey>{s.rows[0].key});
    QCOMPARE(s.resumeRow, 1);
    QCOMPARE(s.unconfirmedCount, 0);
    QCOMPARE(s.rows[2].status, QString());
  }
  // Its end is recorded too.
  Journal journal;
  QVERIFY(journal.open(dir.path()));
  const JournalSnapshot s = journal.restore();
  QVERIFY(journal.setPassHold(s.pass->key, std::nullopt));
  Journal again;
  QVERIFY(again.open(dir.path()));
  QVERIFY(!again.restore().pass->hold.has_value());
}

// A journal of the same version written before holds were kept (no hold
// table) opens as it is, reads as holding no hold, and gets the table.
void JournalTest::journalWithoutHoldTableReadsAndTakesOne() {
  QTemporaryDir dir;
  PassKey key = 0;
  {
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    QVERIFY(journal.replaceRows(plainRows({QStringLiteral("a"), QStringLiteral("b")})));
    JournalPass pass;
    pass.rows = {journal.keyAt(0), journal.keyAt(1)};
    key = journal.startPass(pass);
    QSqlQuery drop(QSqlDatabase::database(journal.connectionName(), false));
    QVERIFY(drop.exec(QStringLiteral("DROP TABLE pass_hold")));
  }
  Journal reopened;
  QVERIFY(reopened.open(dir.path()));
  QVERIFY(reopened.brokenFilePath().isEmpty());
  const JournalSnapshot s = reopened.restore();
  QCOMPARE(s.rows.size(), 2);
  QVERIFY(s.pass.has_value());
  QVERIFY(!s.pass->hold.has_value());
  JournalHold hold;
  hold.kind = HoldKind::SignedOut;
  hold.row = s.rows[0].key;
  QVERIFY2(reopened.setPassHold(key, hold), qPrintable(reopened.message()));
  Journal third;
  QVERIFY(third.open(dir.path()));
  QCOMPARE(third.restore().pass->hold, std::optional<JournalHold>(hold));
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
  QCOMPARE(journal.startPass(JournalPass{}), 0);
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

void JournalTest::versionOneJournalMigrates() {
  // A journal as the first version wrote it (its schema, word for word): a
  // pass over five rows killed after the confirm of row 2, rows 0 and 1
  // done, row 1 and (just before the kill) row 2 in the failed list.
  QTemporaryDir dir;
  const QString path = QDir(dir.path()).filePath(Journal::fileName());
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
    db.setDatabaseName(path);
    QVERIFY(db.open());
    QSqlQuery q(db);
    for (const char* sql : {
             "CREATE TABLE schema_version (version INTEGER NOT NULL)",
             "INSERT INTO schema_version VALUES (1)",
             "CREATE TABLE address_row ( pos INTEGER PRIMARY KEY, address TEXT NOT NULL,"
             " status TEXT NOT NULL DEFAULT '', publish_time TEXT NOT NULL DEFAULT '',"
             " step INTEGER NOT NULL DEFAULT 0)",
             "CREATE TABLE failed_address ( pos INTEGER PRIMARY KEY, address TEXT NOT NULL)",
             "CREATE TABLE run_state ( id INTEGER PRIMARY KEY CHECK (id = 1),"
             " running INTEGER NOT NULL, current_row INTEGER NOT NULL,"
             " failed_count INTEGER NOT NULL, imported_text TEXT NOT NULL)",
             "INSERT INTO run_state VALUES (1, 1, 3, 2, '已导入5个地址')",
             "INSERT INTO address_row VALUES (0, 'a', '成功', 't0', 0), (1, 'b', '失败', '', 0),"
             " (2, 'c', '', 'earlier', 2), (3, 'd', '', '', 0), (4, 'e', '', '', 0)",
             "INSERT INTO failed_address VALUES (0, 'c'), (1, 'b')",
         }) {
      QVERIFY2(q.exec(QString::fromUtf8(sql)), qPrintable(q.lastError().text()));
    }
  }
  QSqlDatabase::removeDatabase(QStringLiteral("v1"));

  Journal journal;
  QVERIFY2(journal.open(dir.path()), qPrintable(journal.message()));
  QVERIFY(journal.brokenFilePath().isEmpty());
  const JournalSnapshot s = journal.restore();
  QCOMPARE(s.rows.size(), 5);
  QCOMPARE(s.rows[0].status, QStringLiteral("成功"));
  QCOMPARE(s.rows[0].publishTime, QStringLiteral("t0"));
  QCOMPARE(s.rows[1].status, QStringLiteral("失败"));
  QCOMPARE(s.rows[2].status, unconfirmedStatus());
  QCOMPARE(s.rows[2].publishTime, QStringLiteral("earlier"));
  QCOMPARE(s.unconfirmedCount, 1);
  QCOMPARE(s.failed, QStringList{QStringLiteral("b")});
  QCOMPARE(s.importedText, QStringLiteral("已导入5个地址"));
  // The interrupted pass goes on with row 3, and its rows are its own: an
  // import on top does not move it.
  QVERIFY(s.pass.has_value());
  QCOMPARE(s.pass->state, PassState::Running);
  QCOMPARE(s.pass->failedCount, 1);
  QCOMPARE(s.resumeRow, 3);
  QCOMPARE(s.pass->rows, (QList<RowKey>{s.rows[3].key, s.rows[4].key}));
  QVERIFY(journal.insertRows(0, {QStringLiteral("new1"), QStringLiteral("new2")}));
  journal.close();
  Journal again;
  QVERIFY(again.open(dir.path()));
  const JournalSnapshot t = again.restore();
  QCOMPARE(t.unconfirmedCount, 0);  // settled by the first start
  QCOMPARE(t.resumeRow, 5);
  QCOMPARE(t.rows[5].address, QStringLiteral("d"));
  QCOMPARE(t.rows[4].status, unconfirmedStatus());
}

QTEST_GUILESS_MAIN(JournalTest)
#include "journal_test.moc"
