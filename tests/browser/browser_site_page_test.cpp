#include "browser/browser_site_page.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTest>
#include <QWebEngineProfile>
#include <QWidget>
#include <memory>

#include "browser/browser_control.h"
#include "site/site_page.h"
#include "tests/browser/browser_test_support.h"
#include "tests/browser/page_server.h"

using namespace quillet;
using quillet::test::loadAndWait;

// The browser's page as the sign-in reads it: which document is shown,
// whether it is the login form or the engine's error page, and a page that
// is not there (yet, or any more).
class BrowserSitePageTest : public QObject {
  Q_OBJECT

 private:
  test::PageServer server_;
  QWebEngineProfile* profile_ = nullptr;

 private Q_SLOTS:
  void initTestCase() {
    server_.setPage("/logon",
                    "<html><body><form><input type='text'><input type='PASSWORD'>"
                    "<input type='submit'></form></body></html>");
    server_.setPage("/home", "<html><body><input type='text'><a href='/logon'>x</a></body></html>");
    QVERIFY(server_.start());
    profile_ = new QWebEngineProfile(this);  // off the record
  }

  void documentIdNamesTheDocumentShownNow() {
    QWidget window;
    new BrowserControl(&window, profile_);
    const std::unique_ptr<SitePage> page = browserSitePage(&window);
    // Nothing was ever loaded: no document to name.
    QVERIFY(page->documentId(kPageAnswerTimeoutMs).isEmpty());
    QVERIFY(!page->isLoading());

    BrowserControl* browser = browserControlOf(&window);
    QVERIFY(loadAndWait(*browser, server_.url(QStringLiteral("/home"))));
    const QString first = page->documentId(kPageAnswerTimeoutMs);
    QVERIFY(!first.isEmpty());
    QCOMPARE(page->documentId(kOutcomeAnswerTimeoutMs), first);

    // The same address loaded again is another document.
    QVERIFY(loadAndWait(*browser, server_.url(QStringLiteral("/home"))));
    const QString second = page->documentId(kPageAnswerTimeoutMs);
    QVERIFY(!second.isEmpty());
    QVERIFY(second != first);
  }

  void loginFormIsTheOnePageWithAPasswordBox() {
    QWidget window;
    auto* browser = new BrowserControl(&window, profile_);
    const std::unique_ptr<SitePage> page = browserSitePage(&window);
    QVERIFY(!page->showsLoginForm(kOutcomeAnswerTimeoutMs));
    QVERIFY(loadAndWait(*browser, server_.url(QStringLiteral("/logon"))));
    QVERIFY(page->showsLoginForm(kOutcomeAnswerTimeoutMs));
    QVERIFY(page->showsLoginForm(kPageAnswerTimeoutMs));
    QCOMPARE(page->siteState(), SiteState::SignedOut);
    QVERIFY(loadAndWait(*browser, server_.url(QStringLiteral("/home"))));
    QVERIFY(!page->showsLoginForm(kOutcomeAnswerTimeoutMs));
    QCOMPARE(page->siteState(), SiteState::Usable);
  }

  void errorPageIsNoPageOfTheSite() {
    QWidget window;
    auto* browser = new BrowserControl(&window, profile_);
    const std::unique_ptr<SitePage> page = browserSitePage(&window);
    QVERIFY(!page->showsErrorPage());
    // A port nobody listens on: the engine shows its own error page.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    page->navigate(QStringLiteral("http://127.0.0.1:%1/logon").arg(port));
    QTRY_VERIFY_WITH_TIMEOUT(!page->isLoading(), 15000);
    QVERIFY(page->showsErrorPage());
    QCOMPARE(page->siteState(), SiteState::Down);
    QVERIFY(loadAndWait(*browser, server_.url(QStringLiteral("/home"))));
    QVERIFY(!page->showsErrorPage());
  }

  void aPageThatWentAwayShowsNothing() {
    auto window = std::make_unique<QWidget>();
    auto* browser = new BrowserControl(window.get(), profile_);
    const std::unique_ptr<SitePage> page = browserSitePage(window.get());
    QVERIFY(loadAndWait(*browser, server_.url(QStringLiteral("/logon"))));
    QVERIFY(!page->documentId(kPageAnswerTimeoutMs).isEmpty());
    window.reset();
    QVERIFY(page->documentId(kPageAnswerTimeoutMs).isEmpty());
    QVERIFY(!page->isLoading());
    QVERIFY(!page->showsErrorPage());
    QVERIFY(!page->showsLoginForm(kOutcomeAnswerTimeoutMs));
    page->shareSessionWithDownloads();  // nothing to share, and no crash
  }
};

QTEST_MAIN(BrowserSitePageTest)
#include "browser_site_page_test.moc"
