#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <memory>

#include "browser/browser_control.h"
#include "browser/document_ref.h"
#include "browser/indexed_page.h"
#include "browser/page_scripts.h"
#include "browser/script_runner.h"
#include "tests/browser/browser_test_support.h"
#include "tests/browser/page_server.h"

using namespace quillet;
using quillet::test::evalInPage;
using quillet::test::loadAndWait;

// The synchronous script calls underneath every page object, and the isolation of their state
// from the page's own scripts.
class ScriptRunnerTest : public QObject {
  Q_OBJECT

 private:
  test::PageServer server_;
  QWebEngineProfile* profile_ = nullptr;

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(server_.addFixture(QStringLiteral("actions.html")));
    QVERIFY(server_.start());
    profile_ = new QWebEngineProfile(this);
  }

  void argumentsArriveUnchanged() {
    BrowserControl control(nullptr, profile_);
    QVERIFY(loadAndWait(control, server_.url(QStringLiteral("/actions.html"))));
    // A fresh document takes the candidate token as it is; the script hands it back.
    const QString tricky =
        QStringLiteral("'\"\\ </script> ${x} `back` \u2028\u2029 分享宝贝 \n\t end");
    const QVariant echoed = runScriptSync(control.page(), page_scripts::documentToken(tricky));
    QCOMPARE(echoed.toString(), tricky);
    // The document keeps its first token.
    QCOMPARE(runScriptSync(control.page(), page_scripts::documentToken(QStringLiteral("other")))
                 .toString(),
             tricky);
    QCOMPARE(runScriptSync(control.page(), page_scripts::isCurrentDocument(tricky)).toBool(), true);
    QVERIFY(!runScriptSync(control.page(), page_scripts::isCurrentDocument(QStringLiteral("x")))
                 .toBool());
  }

  void stateIsInvisibleToThePageAndOutOfItsReach() {
    BrowserControl control(nullptr, profile_);
    QVERIFY(loadAndWait(control, server_.url(QStringLiteral("/actions.html"))));
    IndexedPage indexed;
    QVERIFY(indexed.attach(&control));
    QCOMPARE(evalInPage(control.page(), QStringLiteral("typeof quilletState")).toString(),
             QStringLiteral("undefined"));
    // The page planting a state of its own changes nothing for us.
    evalInPage(control.page(),
               QStringLiteral("window.quilletState = {doc: document, token: 'x', pages: {}}"));
    QCOMPARE(indexed.count(QStringLiteral("buttons")), 2);
    indexed.clickButton(1);
    QCOMPARE(test::textOf(control.page(), QStringLiteral("log")), QStringLiteral("btn1"));
  }

  void pageThatDoesNotAnswerGivesAnEmptyResult() {
    BrowserControl control(nullptr, profile_);
    QVERIFY(loadAndWait(control, server_.url(QStringLiteral("/actions.html"))));
    // Keeps the page busy for longer than a call may wait.
    const QVariant result = runScriptSync(
        control.page(),
        QStringLiteral("(function(){const end = Date.now() + 3000; while (Date.now() < end) {}"
                       " return 'late';})()"));
    QVERIFY(!result.isValid());
    // The page answers again once it is free.
    QTRY_COMPARE_WITH_TIMEOUT(runScriptSync(control.page(), QStringLiteral("1 + 1")).toInt(), 2,
                              10000);
  }

  void pageDestroyedDuringACallGivesAnEmptyResult() {
    QPointer<BrowserControl> control = new BrowserControl(nullptr, profile_);
    QVERIFY(loadAndWait(*control, server_.url(QStringLiteral("/actions.html"))));
    QTimer::singleShot(200, control.data(), [raw = control.data()] { delete raw; });
    const QVariant result = runScriptSync(
        control->page(),
        QStringLiteral("(function(){const end = Date.now() + 800; while (Date.now() < end) {}"
                       " return 'late';})()"));
    const bool destroyed = control.isNull();
    delete control.data();
    QVERIFY(destroyed);
    QVERIFY(!result.isValid());
    QVERIFY(!runScriptSync(nullptr, QStringLiteral("1")).isValid());
  }

  void documentRefOfPagesWithoutADocument() {
    QVERIFY(DocumentRef::currentOf(nullptr).isNull());
    BrowserControl fresh(nullptr, profile_);
    QVERIFY(DocumentRef::currentOf(fresh.page()).isNull());
    QVERIFY(!DocumentRef().isCurrent());
    DocumentRef out = DocumentRef::currentOf(nullptr);
    QVERIFY(!documentFromWindow(&fresh, out));
    QVERIFY(out.isNull());
  }
};

QTEST_MAIN(ScriptRunnerTest)
#include "script_runner_test.moc"
