// The site check against the real browser engine and the demo share site: a
// dry run that names the first step where the site and the profile part
// ways, and a redesigned site that a matching profile shares on.
#include <QTextStream>
#include <QtTest>

#include "share/site_check.h"
#include "share_harness.h"

using namespace quillet;

namespace {

// The profile that fits the demo site's moved layout.
SiteProfile movedLayoutProfile() {
  SiteProfile profile;
  profile.shareLinkText = QStringLiteral("转发宝贝");
  profile.addressBox = 3;
  profile.addressSubmitButton = 3;
  profile.successMark = QStringLiteral("已转发");
  return profile;
}

DemoOptions movedLayout() {
  DemoOptions options;
  options.movedLayout = true;
  return options;
}

struct CheckRun {
  int result = -1;
  QStringList lines;
};

CheckRun check(ShareHarness& h, SiteProfile profile) {
  profile.siteBase = h.siteBase();
  QString text;
  QTextStream out(&text);
  CheckRun run;
  run.result = runSiteCheck(*h.browser, profile, out);
  run.lines = text.split(u'\n', Qt::SkipEmptyParts);
  qInfo().noquote() << text;  // what a user of the check would read
  return run;
}

QString dump(const CheckRun& run) {
  return QStringLiteral("result %1:\n").arg(run.result) + run.lines.join(u'\n');
}

}  // namespace

class SiteCheckTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void signedOutIsReportedAsSuch() {
    ShareHarness h;
    QVERIFY(h.siteRunning());
    const CheckRun run = check(h, SiteProfile{});
    QVERIFY2(run.result == kSiteCheckSignedOut, qPrintable(dump(run)));
    QCOMPARE(run.lines, QStringList{QStringLiteral("start page ") + h.siteBase() +
                                    QStringLiteral("/logon: shows the login form: not signed in")});
  }

  void anUnreachableSiteFailsTheFirstStep() {
    ShareHarness h;
    SiteProfile profile;
    profile.siteBase = QStringLiteral("http://127.0.0.1:1");
    QString text;
    QTextStream out(&text);
    QCOMPARE(runSiteCheck(*h.browser, profile, out), int{kSiteCheckFailed});
    QCOMPARE(text, QStringLiteral(
                       "start page http://127.0.0.1:1/logon: the site could not be reached\n"));
  }

  void theBuiltInProfileFitsTheDemoSite() {
    ShareHarness h;
    QVERIFY(h.signIn());
    const CheckRun run = check(h, SiteProfile{});
    QVERIFY2(run.result == kSiteCheckPassed, qPrintable(dump(run)));
    const QStringList expected{
        QStringLiteral("start page ") + h.siteBase() + QStringLiteral("/logon: ok"),
        QStringLiteral("link 2 is '我的分享' -> /share: ok"),
        QStringLiteral("share link '分享宝贝' is '分享宝贝' -> /share#share: ok"),
        QStringLiteral("text box 2 is named 'itemUrl': ok"),
        QStringLiteral("button 2 is '确定': ok"),
        QStringLiteral("wrong-link notice '宝贝链接好像不对' for "
                       "http://invalid.invalid/quillet-check: ok"),
    };
    QCOMPARE(run.lines, expected);
    QVERIFY(h.shares().empty());  // a dry run: nothing reached the confirm
  }

  // Each broken profile fails at its own step, and the steps before it pass.
  void aBrokenProfileFailsAtItsStep_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("okLines");
    QTest::addColumn<QString>("failure");
    QTest::newRow("link beyond the page")
        << 0 << 1 << QStringLiteral("link 40: the start page has only ");
    QTest::newRow("link to the wrong page")
        << 1 << 2
        << QStringLiteral(
               "share link: link 1 is '首页' -> /logon; no link contains '分享宝贝' "
               "on that page");
    QTest::newRow("text box missing")
        << 2 << 3 << QStringLiteral("text box 9: the page has only 2 text boxes");
    QTest::newRow("button missing")
        << 3 << 4 << QStringLiteral("button 7: the page has only 3 buttons");
    QTest::newRow("wrong button") << 4 << 5
                                  << QStringLiteral(
                                         "wrong-link notice '宝贝链接好像不对' for "
                                         "http://invalid.invalid/quillet-check: the page does not "
                                         "show it");
    QTest::newRow("reworded notice")
        << 5 << 5
        << QStringLiteral(
               "wrong-link notice '链接无效' for http://invalid.invalid/quillet-check: "
               "the page does not show it");
  }

  void aBrokenProfileFailsAtItsStep() {
    QFETCH(int, field);
    QFETCH(int, okLines);
    QFETCH(QString, failure);
    if (!h_) {
      h_ = std::make_unique<ShareHarness>();
      QVERIFY(h_->signIn());
    }
    SiteProfile profile;
    switch (field) {
      case 0:
        profile.startPageLink = 40;
        break;
      case 1:
        profile.startPageLink = 1;  // 首页: back to the start page, which has no share link
        break;
      case 2:
        profile.addressBox = 9;
        break;
      case 3:
        profile.addressSubmitButton = 7;
        break;
      case 4:
        profile.addressSubmitButton = 1;  // the search button: a search instead of the check
        break;
      case 5:
        profile.wrongLinkNotice = QStringLiteral("链接无效");
        break;
    }
    const CheckRun run = check(*h_, profile);
    QVERIFY2(run.result == kSiteCheckFailed, qPrintable(dump(run)));
    QCOMPARE(run.lines.size(), okLines + 1);
    for (int i = 0; i < okLines; ++i) {
      QVERIFY2(run.lines[i].endsWith(QLatin1String(": ok")), qPrintable(dump(run)));
    }
    QVERIFY2(run.lines.back().startsWith(failure), qPrintable(dump(run)));
  }

  void cleanupTestCase() { h_.reset(); }

  void theMovedLayoutNeedsItsOwnProfile() {
    h_.reset();
    ShareHarness h(movedLayout());
    QVERIFY(h.signIn());
    CheckRun run = check(h, SiteProfile{});
    QVERIFY2(run.result == kSiteCheckFailed, qPrintable(dump(run)));
    QCOMPARE(run.lines.size(), 3);
    QCOMPARE(run.lines.back(),
             QStringLiteral("share link: link 2 is '我的分享' -> /share; no link contains "
                            "'分享宝贝' on that page"));

    run = check(h, movedLayoutProfile());
    QVERIFY2(run.result == kSiteCheckPassed, qPrintable(dump(run)));
    QCOMPARE(run.lines.mid(2, 3),
             (QStringList{QStringLiteral("share link '转发宝贝' is '转发宝贝' -> /share#share: ok"),
                          QStringLiteral("text box 3 is named 'itemUrl': ok"),
                          QStringLiteral("button 3 is '确定': ok")}));
    QVERIFY(h.shares().empty());
  }

  // The engine itself, given the matching profile, shares on the moved layout
  // and reads its reworded success.
  void theEngineSharesOnTheMovedLayoutWithAMatchingProfile() {
    DemoOptions options = movedLayout();
    constexpr int kFailing = 8102;
    options.failItems = {kFailing};
    ShareHarness h(options, movedLayoutProfile());
    h.window.show();
    QVERIFY(h.signIn());
    const QStringList rows{h.itemAddress(8101), h.itemAddress(kFailing),
                           h.siteBase() + QStringLiteral("/item/0")};
    h.setRows(rows);
    h.addComment->setChecked(true);
    h.period->setText(QStringLiteral("21"));
    h.engine->publish();
    QTRY_VERIFY_WITH_TIMEOUT(!h.engine->isRunning(), 120000);

    QCOMPARE(h.rows(1), (QStringList{QStringLiteral("成功"), QStringLiteral("失败"),
                                     QStringLiteral("地址错误")}));
    const std::vector<ShareRecord> shares = h.shares();
    QCOMPARE(shares.size(), std::size_t{2});
    QCOMPARE(shares[0].item, 8101);
    QVERIFY(shares[0].ok);
    QVERIFY(!shares[0].comment.empty());  // the comment field was found by its name
    QCOMPARE(shares[1].item, kFailing);
    QVERIFY(!shares[1].ok);
    QCOMPARE(h.failedEntries(), QStringList{h.itemAddress(kFailing)});
  }

 private:
  std::unique_ptr<ShareHarness> h_;
};

QTEST_MAIN(SiteCheckTest)
#include "site_check_test.moc"
