#include "site/site_page.h"

#include <QtTest>
#include <memory>

using namespace quillet;

// The page that stands in when there is no browser: every action does
// nothing and every look finds nothing, so a sign-in over it reads as
// unreachable and a pass over it holds nothing.
class SitePageTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void noPageShowsNothing() {
    const std::unique_ptr<SitePage> page = noSitePage();
    page->navigate(QStringLiteral("http://127.0.0.1:1/"));
    page->clickButton(1);
    page->setTextBoxValue(1, QStringLiteral("user"));
    page->waitUntilLoaded(10);
    QVERIFY(!page->isLoading());
    QVERIFY(!page->showsErrorPage());
    QVERIFY(page->documentId(kPageAnswerTimeoutMs).isEmpty());
    QVERIFY(page->documentId(kOutcomeAnswerTimeoutMs).isEmpty());
    QVERIFY(!page->showsLoginForm(kOutcomeAnswerTimeoutMs));
    QCOMPARE(page->siteState(), SiteState::Usable);
  }

  void noPageFindsNoTextAndGivesNoAnswer() {
    const std::unique_ptr<SitePage> page = noSitePage();
    bool answered = true;
    QVERIFY(!page->highlightText(QStringLiteral("登录成功"), kOutcomeAnswerTimeoutMs, &answered));
    QVERIFY(!answered);
  }

  void noPageSharesNoSessionAndStaysEmpty() {
    const std::unique_ptr<SitePage> page = noSitePage();
    page->shareSessionWithDownloads();
    QVERIFY(page->documentId(kPageAnswerTimeoutMs).isEmpty());
    QVERIFY(!page->isLoading());
  }
};

QTEST_GUILESS_MAIN(SitePageTest)
#include "site_page_test.moc"
