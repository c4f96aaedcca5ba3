// What the window's start-up makes of a journal it cannot trust: one that
// cannot be written is shown as it is, with a message that nothing will be
// recorded (never an empty list that invites a second import); one whose last
// session turned itself off says so and offers no place to go on from.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/share_messages.h"
#include "app/widget_share_settings.h"
#include "journal/journal.h"
#include "share/address_list_model.h"
#include "share/share_engine.h"
#include "share/share_journal.h"
#include "tests/doubles/recording_dialogs.h"
#include "tests/journal/unwritable_path.h"

using namespace quillet;
using quillet::testing::Unwritable;

namespace {

const QStringList kAddresses{QStringLiteral("http://item.example.cn/a.htm"),
                             QStringLiteral("http://item.example.cn/b.htm"),
                             QStringLiteral("http://item.example.cn/c.htm")};

// Three rows and a pass cut off after its first row succeeded and its second
// failed; it goes on with the third.
void makeInterruptedJournal(const QString& dir) {
  Journal journal;
  QVERIFY(journal.open(dir));
  QVERIFY(journal.insertRows(0, kAddresses));
  JournalPass pass;
  pass.settings.periodSeconds = 40;
  for (int row = 0; row < 3; ++row) pass.rows << journal.keyAt(row);
  pass.lastKeyAtStart = journal.keyAt(2);
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
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The publish page's parts, without a browser: start-up never needs one.
struct Page {
  QWidget window;
  AddressListModel list;
  QLineEdit* period = new QLineEdit(&window);
  QCheckBox* loop = new QCheckBox(&window);
  QCheckBox* comment = new QCheckBox(&window);
  QListWidget* pool = new QListWidget(&window);
  RecordingDialogs dialogs;
  WidgetShareSettings settings{period, loop, comment, pool};
  ShareEngine engine{list, settings, nullptr, SiteProfile{}};
  ShareJournal journal{list, engine.failedAddresses(), engine};

  // The messages go where the window's message boxes would show them.
  Page() {
    showShareMessages(engine, dialogs);
    showJournalProblems(journal, dialogs);
  }

  QStringList column(int c) const {
    QStringList out;
    for (int row = 0; row < list.rowCountInt(); ++row) out << list.cell(row, c);
    return out;
  }
};

}  // namespace

class ShareJournalStartTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void unwritableJournalIsShownAndSaysNothingIsRecorded() {
    QTemporaryDir dir;
    makeInterruptedJournal(dir.path());
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(dir.path()).filePath(Journal::fileName());
    const QByteArray before = readFile(path);
    Unwritable guard(path);
    if (!guard.ok()) QSKIP("this file system cannot make a file unwritable");

    Page page;
    page.journal.openAndRestore(dir.path());
    page.engine.resetRunState();
    const QString interrupted = page.journal.resumeRunState();
    QVERIFY(!page.journal.isActive());
    QCOMPARE(page.column(AddressListModel::AddressColumn), kAddresses);
    QCOMPARE(page.column(AddressListModel::StatusColumn),
             (QStringList{QStringLiteral("成功"), QStringLiteral("失败"), QString()}));
    QCOMPARE(page.engine.failedAddresses().addresses(), QStringList{kAddresses[1]});
    QCOMPARE(interrupted, ShareJournal::interruptedText(3));
    QCOMPARE(page.dialogs.messages().size(), 1);
    QVERIFY(page.dialogs.lastMessage().warning);
    QCOMPARE(page.dialogs.lastMessage().title, ShareJournal::messageTitle());
    QVERIFY2(page.dialogs.lastMessage().text.startsWith(ShareJournal::readOnlyText(path)),
             qPrintable(page.dialogs.lastMessage().text));

    // Changes stay in memory; the file is as it was.
    page.list.insertRows(0, {QStringLiteral("http://item.example.cn/new.htm")});
    page.list.setCell(1, AddressListModel::StatusColumn, QString());
    QCOMPARE(readFile(path), before);
  }

  void journalThatTurnedOffLastTimeOffersNoResume() {
    QTemporaryDir dir;
    makeInterruptedJournal(dir.path());
    if (QTest::currentTestFailed()) return;
    const QString path = QDir(dir.path()).filePath(Journal::fileName());
    {
      QFile marker(path + QStringLiteral("-incomplete"));
      QVERIFY(marker.open(QIODevice::WriteOnly));
    }

    Page page;
    page.journal.openAndRestore(dir.path());
    page.engine.resetRunState();
    QCOMPARE(page.journal.resumeRunState(), QString());
    QVERIFY(page.journal.isActive());
    QCOMPARE(page.journal.resumeRow(), -1);
    QCOMPARE(page.column(AddressListModel::AddressColumn), kAddresses);
    QCOMPARE(page.dialogs.messages().size(), 1);
    QVERIFY2(page.dialogs.lastMessage().text.startsWith(ShareJournal::staleText(path)),
             qPrintable(page.dialogs.lastMessage().text));
    // 发表 is no continuation: the pass it would have gone on with is over.
    QVERIFY(page.engine.pass() == nullptr || page.engine.pass()->state == PassState::Finished);
  }
};

QTEST_MAIN(ShareJournalStartTest)
#include "share_journal_start_test.moc"
