// 失败重发 takes the addresses whose latest outcome is 失败: against the real
// browser engine, the demo share site and the journal on disk, a loop in which
// one item fails once and then goes through, one fails every time, and one
// fails once and is then confirmed with its result never read (the window is
// torn down during the result wait), with good items between them. After the journal is read back,
// only the item that failed every time is sent again.
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/share_messages.h"
#include "journal/journal.h"
#include "share/page_steps.h"
#include "share/share_journal.h"
#include "share_harness.h"

using namespace quillet;

namespace {

constexpr int kAlwaysFails = 611;
constexpr int kFailsOnce = 612;
constexpr int kUnread = 613;
// Good items between the failing ones: three failures in a row would count
// as a mute of the account, a hold rather than failed rows.
constexpr int kGoodFirst = 614;
constexpr int kGoodSecond = 615;

QStringList boxEntries(const QListWidget* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->item(i)->text();
  return out;
}

int sharesOf(const std::vector<ShareRecord>& records, const QString& address) {
  int n = 0;
  for (const ShareRecord& r : records) n += QString::fromStdString(r.address) == address;
  return n;
}

}  // namespace

class ResendLatestOutcomeTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void onlyAddressesWhoseLatestOutcomeIsFailureAreSentAgain() {
    QTemporaryDir data;
    QVERIFY(data.isValid());
    DemoOptions options;
    options.failItems = {kAlwaysFails};
    options.failOnceItems = {kFailsOnce, kUnread};
    ShareHarness h(options);
    QVERIFY(h.siteRunning());
    h.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h.window));
    QVERIFY(h.signIn());
    const QString always = h.itemAddress(kAlwaysFails);
    const QString once = h.itemAddress(kFailsOnce);
    const QString unread = h.itemAddress(kUnread);

    auto journal = std::make_unique<ShareJournal>(h.list, h.engine->failedAddresses(), *h.engine);
    showJournalProblems(*journal, h.dialogs);
    journal->openAndRestore(data.path());
    journal->resumeRunState();
    QVERIFY(journal->isActive());
    const QString good1 = h.itemAddress(kGoodFirst);
    const QString good2 = h.itemAddress(kGoodSecond);
    h.setRows({always, good1, once, good2, unread});
    h.loop->setChecked(true);

    int passes = 0;
    QStringList failedAfterFirstRound;
    QStringList failedAtUnreadConfirm{QStringLiteral("<not reached>")};
    connect(h.engine.get(), &ShareEngine::passFinished, this, [&] {
      if (++passes == 1) failedAfterFirstRound = boxEntries(h.failed);
    });
    connect(h.engine.get(), &ShareEngine::confirmClicked, this, [&](int row) {
      if (passes != 1 || h.list.cell(row) != unread) return;
      failedAtUnreadConfirm = boxEntries(h.failed);
      // The window goes away while the share is on its way: its result is
      // never read.
      QTimer::singleShot(0, this, [&] { h.engine.reset(); });
    });
    h.engine->publish();
    QVERIFY(!h.engine);

    QCOMPARE(failedAfterFirstRound, (QStringList{always, once, unread}));
    // In the second round the item that failed once went through, and the
    // one whose confirm was being clicked had left the list before the click.
    QCOMPARE(failedAtUnreadConfirm, QStringList{always});
    QCOMPARE(boxEntries(h.failed), QStringList{always});
    // The site did make that share.
    QTRY_COMPARE_WITH_TIMEOUT(sharesOf(h.shares(), unread), 2, 15000);
    QVERIFY(h.shares().back().ok);
    QCOMPARE(sharesOf(h.shares(), once), 2);
    journal.reset();

    // Started again: the journal holds the same failed list, the unread row
    // is 未确认 and the one that failed once is 成功.
    h.list.clear();
    SiteProfile profile;
    profile.siteBase = h.siteBase();
    h.engine = std::make_unique<ShareEngine>(h.list, h.settings, h.page.get(), profile);
    h.showMessages();
    journal = std::make_unique<ShareJournal>(h.list, h.engine->failedAddresses(), *h.engine);
    showJournalProblems(*journal, h.dialogs);
    journal->openAndRestore(data.path());
    journal->resumeRunState();
    QCOMPARE(h.engine->failedAddresses().addresses(), QStringList{always});
    QCOMPARE(h.rows(0), (QStringList{always, good1, once, good2, unread}));
    QCOMPARE(h.rows(1),
             (QStringList{QStringLiteral("失败"), QStringLiteral("成功"), QStringLiteral("成功"),
                          QStringLiteral("成功"), PageSteps::unconfirmedStatus()}));

    // 失败重发 sends the one address whose latest outcome is 失败, and no other.
    const size_t before = h.shares().size();
    h.loop->setChecked(false);
    h.resend();
    QCOMPARE(h.rows(0), QStringList{always});
    const std::vector<ShareRecord> after = h.shares();
    QCOMPARE(after.size(), before + 1);
    QCOMPARE(QString::fromStdString(after.back().address), always);
    QCOMPARE(sharesOf(after, once), 2);
    QCOMPARE(sharesOf(after, unread), 2);
  }
};

QTEST_MAIN(ResendLatestOutcomeTest)
#include "resend_latest_outcome_test.moc"
