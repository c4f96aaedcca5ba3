// The checks that decide a row's outcome against pages whose own scripts keep
// the renderer busy for two seconds, as a heavy page on a slow machine does:
// the answer comes late, and a late answer is still the answer.
#include <QElapsedTimer>
#include <QtTest>
#include <memory>
#include <string>

#include "share/page_steps.h"
#include "share_harness.h"
#include "site/pump_wait.h"
#include "tests/browser/browser_test_support.h"
#include "tests/browser/page_server.h"

using namespace quillet;

namespace {

// Holds the page's own thread for `busyMs`, then shows `text` in #out.
std::string busyThenShow(const char* text, int busyMs = 2000) {
  return "setTimeout(function () { var end = Date.now() + " + std::to_string(busyMs) +
         "; while (Date.now() < end) {}"
         " document.getElementById('out').textContent = '" +
         text + "'; }, 0);";
}

// The share dialog after the address went in: a comment field and a confirm
// link whose answer keeps the page busy before it says "成功".
std::string confirmPage(int busyMs = 2000) {
  return "<!doctype html><html><head><meta charset='utf-8'></head><body>\n"
         "<textarea name='forwardContent'></textarea>\n"
         "<a name='forwardMaga' href='#' onclick=\"" +
         busyThenShow("分享成功", busyMs) +
         " return false;\">确定</a>\n"
         "<p id='out'></p></body></html>";
}

// The share dialog's address form: text box 2 and button 2, whose answer keeps
// the page busy before it calls the address wrong.
std::string addressPage() {
  return "<!doctype html><html><head><meta charset='utf-8'></head><body>\n"
         "<input type='text' id='search'><input type='button' value='搜索'>\n"
         "<input type='text' id='address'>\n"
         "<input type='button' id='submit' value='分享' onclick=\"" +
         busyThenShow("宝贝链接好像不对") +
         "\">\n"
         "<p id='out'></p></body></html>";
}

}  // namespace

namespace {

// A pass over every row of the list, as "发表" starts one.
PassCursor passOver(const AddressListModel& list) {
  PassCursor cursor;
  cursor.pass = JournalPass{};
  cursor.pass->rows = list.keys(0, list.rowCountInt());
  return cursor;
}

}  // namespace

class ShareBusyPageTest : public QObject {
  Q_OBJECT

  test::PageServer server_;
  std::unique_ptr<ShareHarness> h_;

  // The steps' reports go nowhere here: the list and the failed list say it all.
  struct QuietReport : StepReport {
    void progress(const QString&) override {}
    void commentChosen(int) override {}
    void addressEntered(int) override {}
    void confirmClicked(int) override {}
    void rowFinished(int) override {}
  } report_;

  StepParts parts() {
    return StepParts{&h_->list, &h_->engine->failedAddresses(), &h_->settings, &report_,
                     h_->page.get()};
  }

  static std::shared_ptr<RunContext> pumpingContext() {
    auto context = std::make_shared<RunContext>();
    context->wait = [](std::int32_t micros) -> std::int64_t {
      pumpWait(micros);
      return 0;
    };
    return context;
  }

 private Q_SLOTS:
  void initTestCase() {
    server_.setPage("/confirm.html", confirmPage());
    server_.setPage("/silent.html", confirmPage(14000));
    server_.setPage("/address.html", addressPage());
    QVERIFY(server_.start());
    h_ = std::make_unique<ShareHarness>();
  }

  void cleanupTestCase() { h_.reset(); }

  // The confirm's answer arrives while the page is still busy: the row is a
  // success, with its time, and nothing is queued for a re-send.
  void aBusyResultPageStillCountsItsSuccess() {
    QVERIFY(test::loadAndWait(*h_->browser, server_.url(QStringLiteral("/confirm.html"))));
    const QString address = QStringLiteral("http://127.0.0.1:1/item/77");
    h_->setRows({address});
    PassCursor state = passOver(h_->list);
    state.current = h_->list.keyAt(0);  // row 0 went in
    PageSteps steps(parts(), SiteProfile{}, state, pumpingContext());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(steps.publish(), StepOutcome::Done);
    QVERIFY2(clock.elapsed() >= 500, "the page was not kept busy");
    QCOMPARE(h_->list.cell(0, AddressListModel::StatusColumn), QStringLiteral("成功"));
    QVERIFY(!h_->list.cell(0, AddressListModel::PublishTimeColumn).isEmpty());
    QCOMPARE(h_->failedEntries(), QStringList());
    QCOMPARE(state.pass->failedCount, 0);
  }

  // A page that stays busy past the ten-second limit has given no answer:
  // the row fails and goes to the re-send list, and the pass is not held.
  void aPageThatNeverAnswersInTimeIsAFailure() {
    QVERIFY(test::loadAndWait(*h_->browser, server_.url(QStringLiteral("/silent.html"))));
    const QString address = QStringLiteral("http://127.0.0.1:1/item/78");
    h_->setRows({address});
    PassCursor state = passOver(h_->list);
    state.current = h_->list.keyAt(0);
    PageSteps steps(parts(), SiteProfile{}, state, pumpingContext());
    QCOMPARE(steps.publish(), StepOutcome::Done);
    QCOMPARE(h_->list.cell(0, AddressListModel::StatusColumn), QStringLiteral("失败"));
    QCOMPARE(h_->failedEntries(), QStringList{address});
    QCOMPARE(state.pass->failedCount, 1);
    // Let the page finish its work before the next case uses the browser.
    QTRY_VERIFY_WITH_TIMEOUT(
        test::evalInPage(h_->browser->page(), QStringLiteral("out.textContent")).toString() ==
            QStringLiteral("分享成功"),
        15000);
  }

  // The site's wrong-address notice comes late: the address is still marked
  // wrong, and with no row left there is nothing to publish.
  void aBusyPageStillRefusesAWrongAddress() {
    QVERIFY(test::loadAndWait(*h_->browser, server_.url(QStringLiteral("/address.html"))));
    const QString address = QStringLiteral("http://127.0.0.1:1/item/0");
    h_->setRows({address});
    PassCursor state = passOver(h_->list);
    PageSteps steps(parts(), SiteProfile{}, state, pumpingContext());
    QCOMPARE(steps.enterAddress(), StepOutcome::NoRow);
    QVERIFY(state.pass->done.contains(h_->list.keyAt(0)));
    QCOMPARE(h_->list.cell(0, AddressListModel::StatusColumn), QStringLiteral("地址错误"));
    QCOMPARE(test::evalInPage(h_->browser->page(), QStringLiteral("address.value")).toString(),
             address);
  }
};

QTEST_MAIN(ShareBusyPageTest)
#include "share_busy_page_test.moc"
