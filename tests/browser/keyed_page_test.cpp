#include <QSignalSpy>
#include <QTest>
#include <QWebEngineProfile>
#include <memory>

#include "browser/browser_control.h"
#include "browser/keyed_page.h"
#include "browser/script_runner.h"
#include "tests/browser/browser_test_support.h"
#include "tests/browser/page_server.h"

using namespace quillet;
using quillet::test::evalInPage;
using quillet::test::loadAndWait;
using quillet::test::textOf;

class KeyedPageTest : public QObject {
  Q_OBJECT

 private:
  QUrl actions() const { return server_.url(QStringLiteral("/actions.html")); }
  QString log() const { return textOf(control_->page(), QStringLiteral("log")); }

  test::PageServer server_;
  std::unique_ptr<BrowserControl> control_;

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(server_.addFixture(QStringLiteral("actions.html")));
    QVERIFY(server_.start());
    control_ = std::make_unique<BrowserControl>(nullptr, new QWebEngineProfile(this));
  }

  void cleanupTestCase() { control_.reset(); }

  void clickLinkByKeyModes_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<QString>("clicked");  // id of the element clicked, empty for none

    QTest::newRow("0: id") << "lnk2" << 0 << false << "lnk2";
    QTest::newRow("0: id of an element that is no link")
        << "forwardMaga" << 0 << false << "forwardMaga";
    QTest::newRow("0: unknown id") << "nothing" << 0 << false << "";
    QTest::newRow("1: name") << "named-link" << 1 << false << "lnk2";
    QTest::newRow("1: unknown name") << "nothing" << 1 << false << "";
    QTest::newRow("2: first link") << "1" << 2 << false << "lnk1";
    QTest::newRow("2: last link") << "3" << 2 << false << "lnk3";
    QTest::newRow("2: zero") << "0" << 2 << false << "";
    QTest::newRow("2: one past the last") << "4" << 2 << false << "";
    QTest::newRow("2: not a number") << "second" << 2 << false << "";
    QTest::newRow("3: contained, case ignored, first wins") << "share ITEM" << 3 << false << "lnk1";
    QTest::newRow("3: exact matches case") << "share item" << 3 << true << "lnk3";
    QTest::newRow("3: exact needs the whole text") << "share" << 3 << true << "";
    QTest::newRow("3: Chinese link text") << "分享宝贝" << 3 << false << "lnk2";
    QTest::newRow("3: exact against the rendered text") << "分享宝贝 now" << 3 << true << "lnk2";
    QTest::newRow("3: no link has it") << "删除" << 3 << false << "";
    QTest::newRow("3: empty key") << "" << 3 << false << "";
    QTest::newRow("4: address contained, case ignored") << "/TARGET/page" << 4 << false << "lnk2";
    QTest::newRow("4: fragment address") << "#three" << 4 << false << "lnk3";
    QTest::newRow("4: exact whole address") << "{base}/target/Page?x=1" << 4 << true << "lnk2";
    QTest::newRow("4: exact matches case") << "{base}/target/page?x=1" << 4 << true << "";
    QTest::newRow("4: exact needs the whole address") << "/target/Page?x=1" << 4 << true << "";
    QTest::newRow("unknown mode") << "lnk1" << 5 << false << "";
    QTest::newRow("negative mode") << "lnk1" << -1 << false << "";
  }

  void clickLinkByKeyModes() {
    QFETCH(QString, key);
    QFETCH(int, mode);
    QFETCH(bool, exact);
    QFETCH(QString, clicked);
    key.replace(QStringLiteral("{base}"), server_.url(QString()).toString());
    QVERIFY(loadAndWait(*control_, actions()));
    KeyedPage keyed;
    QVERIFY(keyed.attach(control_.get()));
    QCOMPARE(keyed.clickLinkByKey(key, mode, exact), !clicked.isEmpty());
    QCOMPARE(log(), clicked);
  }

  void setValueByKey() {
    QVERIFY(loadAndWait(*control_, actions()));
    KeyedPage keyed;
    QVERIFY(keyed.attach(control_.get()));
    const QString comment = QStringLiteral("好评 <script>x()</script> & \"quoted\" \\ '");
    keyed.setValueByKey(QStringLiteral("forwardContent"), 1, comment);
    keyed.setValueByKey(QStringLiteral("comment"), 1, QStringLiteral("in the text area"));
    keyed.setValueByKey(QStringLiteral("tb1"), 0, QStringLiteral("by id"));
    // Keys that match nothing write nothing and stop nothing.
    keyed.setValueByKey(QStringLiteral("missing"), 1, QStringLiteral("lost"));
    keyed.setValueByKey(QString(), 0, QStringLiteral("lost"));
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("content.value")).toString(), comment);
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("comment.value")).toString(),
             QStringLiteral("in the text area"));
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("tb1.value + '|' + tb2.value")).toString(),
             QStringLiteral("by id|second"));
    QCOMPARE(evalInPage(control_->page(),
                        QStringLiteral("Array.from(document.querySelectorAll('input,textarea'))"
                                       ".some(e => e.value === 'lost')"))
                 .toBool(),
             false);
  }

  void getElementByKey() {
    QVERIFY(loadAndWait(*control_, actions()));
    KeyedPage keyed;
    QVERIFY(keyed.attach(control_.get()));
    const ElementRef byName = keyed.getElementByKey(QStringLiteral("forwardContent"), 1);
    QVERIFY(!byName.isNull());
    QCOMPARE(byName.property(QStringLiteral("id")), QStringLiteral("content"));
    // Any mode other than 1 looks the key up as an id.
    QCOMPARE(keyed.getElementByKey(QStringLiteral("btn2"), 3).property(QStringLiteral("tagName")),
             QStringLiteral("BUTTON"));
    QVERIFY(keyed.getElementByKey(QStringLiteral("forwardContent"), 0).isNull());
    QVERIFY(keyed.getElementByKey(QStringLiteral("content"), 1).isNull());
    QVERIFY(keyed.getElementByKey(QString(), 1).isNull());

    QVERIFY(byName.setValue(QStringLiteral("through the element")));
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("content.value")).toString(),
             QStringLiteral("through the element"));
    QVERIFY(keyed.getElementByKey(QStringLiteral("forwardMaga"), 1).isNull());
    QVERIFY(keyed.getElementByKey(QStringLiteral("forwardMaga"), 0).click());
    QCOMPARE(log(), QStringLiteral("forwardMaga"));
  }

  // The elements a page object hands out are kept in the page only while that object lives:
  // a document that stays open through many steps does not pile them up.
  void elementsAreReleasedWithTheirPageObject() {
    QVERIFY(loadAndWait(*control_, actions()));
    const auto keptInPage = [this] {
      return runScriptSync(control_->page(),
                           QStringLiteral("globalThis.quilletState ? "
                                          "globalThis.quilletState.elements.size : -1"))
          .toInt();
    };
    KeyedPage other;
    QVERIFY(other.attach(control_.get()));
    const ElementRef othersElement = other.getElementByKey(QStringLiteral("forwardContent"), 1);
    QVERIFY(!othersElement.isNull());
    ElementRef kept;
    {
      KeyedPage keyed;
      QVERIFY(keyed.attach(control_.get()));
      for (int i = 0; i < 50; ++i)
        QVERIFY(!keyed.getElementByKey(QStringLiteral("btn1"), 0).isNull());
      kept = keyed.getElementByKey(QStringLiteral("btn2"), 0);
      QVERIFY(kept.click());
      QCOMPARE(keptInPage(), 52);
    }
    QTRY_COMPARE_WITH_TIMEOUT(keptInPage(), 1, 5000);
    QVERIFY(!kept.click());
    QCOMPARE(kept.property(QStringLiteral("id")), QString());
    // The other page object's element is untouched.
    QVERIFY(othersElement.setValue(QStringLiteral("still mine")));
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("content.value")).toString(),
             QStringLiteral("still mine"));
  }

  void staleDocumentIsNeverReached() {
    QVERIFY(loadAndWait(*control_, actions()));
    KeyedPage keyed;
    QVERIFY(keyed.attach(control_.get()));
    const ElementRef element = keyed.getElementByKey(QStringLiteral("btn1"), 0);
    QVERIFY(!element.isNull());
    QVERIFY(loadAndWait(*control_, actions()));
    QVERIFY(!keyed.clickLinkByKey(QStringLiteral("lnk1"), 0));
    QVERIFY(!keyed.clickLinkByKey(QStringLiteral("1"), 2));
    keyed.setValueByKey(QStringLiteral("forwardContent"), 1, QStringLiteral("stale"));
    QVERIFY(keyed.getElementByKey(QStringLiteral("btn1"), 0).isNull());
    QVERIFY(!element.click());
    QVERIFY(!element.setValue(QStringLiteral("stale")));
    QCOMPARE(element.property(QStringLiteral("id")), QString());
    QCOMPARE(log(), QString());
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("content.value")).toString(), QString());
    // After a new attach the same key reaches the new document.
    QVERIFY(keyed.attach(control_.get()));
    QVERIFY(keyed.clickLinkByKey(QStringLiteral("lnk1"), 0));
    QCOMPARE(log(), QStringLiteral("lnk1"));
  }

  void clickThatNavigatesLeavesTheOldDocumentBehind() {
    QVERIFY(loadAndWait(*control_, actions()));
    control_->page()->runJavaScript(QStringLiteral("lnk2.onclick = null;"));
    QTRY_VERIFY(evalInPage(control_->page(), QStringLiteral("lnk2.onclick === null")).toBool());
    server_.setPage("/target/Page", "<!DOCTYPE html><p id='arrived'>arrived</p>");
    KeyedPage keyed;
    QVERIFY(keyed.attach(control_.get()));
    QSignalSpy finished(control_->page(), &QWebEnginePage::loadFinished);
    QVERIFY(keyed.clickLinkByKey(QStringLiteral("named-link"), 1));
    QVERIFY(finished.wait(10000));
    QCOMPARE(control_->page()->url().path(), QStringLiteral("/target/Page"));
    QVERIFY(!keyed.document().isCurrent());
    QVERIFY(keyed.getElementByKey(QStringLiteral("arrived"), 0).isNull());
    QVERIFY(keyed.attach(control_.get()));
    QVERIFY(!keyed.getElementByKey(QStringLiteral("arrived"), 0).isNull());
  }
};

QTEST_MAIN(KeyedPageTest)
#include "keyed_page_test.moc"
