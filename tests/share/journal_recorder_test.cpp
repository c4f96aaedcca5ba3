// The recorder keeps the journal equal to the address list through every
// kind of change the list makes, and holds a pass's result back only
// between the confirm and the end of the row.
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "journal/journal.h"
#include "share/address_list_model.h"
#include "share/journal_recorder.h"

using namespace quillet;

namespace {

QList<JournalRow> reopened(const QString& dir) {
  Journal journal;
  if (!journal.open(dir)) return {};
  return journal.restore().rows;
}

}  // namespace

class JournalRecorderTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void journalFollowsTheList() {
    QTemporaryDir dir;
    AddressListModel list;
    {
      Journal journal;
      QVERIFY(journal.open(dir.path()));
      JournalRecorder recorder(journal, list);
      list.insertRows(0, {QStringLiteral("c"), QStringLiteral("d")});
      list.insertRows(0, {QStringLiteral("a"), QStringLiteral("b")});
      list.insertRow(4, QStringLiteral("e"));
      list.setCell(1, AddressListModel::StatusColumn, QStringLiteral("成功"));
      list.setCell(1, AddressListModel::PublishTimeColumn, QStringLiteral("t1"));
      list.setCell(3, AddressListModel::StatusColumn, QStringLiteral("失败"));
      list.deleteRows(0, 1);
      QCOMPARE(reopenedWhileOpen(journal), JournalRecorder::rowsOf(list, 0, list.rowCountInt()));
      // Loop sharing's end of pass: every status emptied, times kept.
      list.clearColumn(AddressListModel::StatusColumn);
      QCOMPARE(reopenedWhileOpen(journal), JournalRecorder::rowsOf(list, 0, list.rowCountInt()));
      // A re-send replaces all rows.
      list.clear();
      list.insertRows(0, {QStringLiteral("x")});
    }
    QCOMPARE(reopened(dir.path()), JournalRecorder::rowsOf(list, 0, list.rowCountInt()));
  }

  void loadedRowsAreNotWrittenBack() {
    QTemporaryDir dir;
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    AddressListModel list;
    JournalRecorder recorder(journal, list);
    const QList<JournalRow> rows{{QStringLiteral("a"), QStringLiteral("成功"), QStringLiteral("t")},
                                 {QStringLiteral("b"), QString(), QString()}};
    recorder.loadRows(rows);
    QCOMPARE(JournalRecorder::rowsOf(list, 0, 2), rows);
    QCOMPARE(journal.rowCount(), 0);  // the journal held them already
  }

  void resultIsHeldBackUntilTheRowEnds() {
    QTemporaryDir dir;
    AddressListModel list;
    {
      Journal journal;
      QVERIFY(journal.open(dir.path()));
      JournalRecorder recorder(journal, list);
      list.insertRows(0, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
      // Row 0 finishes; row 1 is confirmed and dies with its status half written.
      recorder.confirmClicked(0);
      list.setCell(0, AddressListModel::StatusColumn, QStringLiteral("成功"));
      list.setCell(0, AddressListModel::PublishTimeColumn, QStringLiteral("t0"));
      recorder.finishRow(0);
      recorder.confirmClicked(1);
      // An import during the wait moves the held row down with it.
      list.insertRows(0, {QStringLiteral("new")});
      list.setCell(2, AddressListModel::StatusColumn, QStringLiteral("成功"));
    }  // killed here: finishRow(2) never came
    const QList<JournalRow> rows = reopened(dir.path());
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[1].status, QStringLiteral("成功"));
    QCOMPARE(rows[1].publishTime, QStringLiteral("t0"));
    QCOMPARE(rows[2].address, QStringLiteral("b"));
    QCOMPARE(rows[2].status, unconfirmedStatus());

    // Finished, the result is durable in one piece.
    Journal journal;
    QVERIFY(journal.open(dir.path()));
    JournalRecorder recorder(journal, list);
    recorder.confirmClicked(3);
    list.setCell(3, AddressListModel::StatusColumn, QStringLiteral("失败"));
    recorder.finishRow(3);
    journal.close();
    QCOMPARE(reopened(dir.path())[3].status, QStringLiteral("失败"));
  }

 private:
  // The journal's rows as a restart would read them, over a second connection.
  static QList<JournalRow> reopenedWhileOpen(Journal& open) {
    Journal second;
    if (!second.open(QFileInfo(open.filePath()).absolutePath())) return {};
    QList<JournalRow> rows = second.restore().rows;
    return rows;
  }
};

QTEST_GUILESS_MAIN(JournalRecorderTest)
#include "journal_recorder_test.moc"
