#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWidget>
#include <memory>

#include "browser/browser_control.h"
#include "browser/indexed_page.h"
#include "browser/keyed_page.h"
#include "browser/window_document.h"
#include "tests/browser/browser_test_support.h"
#include "tests/browser/page_server.h"

using namespace quillet;
using quillet::test::evalInPage;
using quillet::test::loadAndWait;
using quillet::test::textOf;

class IndexedPageTest : public QObject {
  Q_OBJECT

 private:
  QUrl page(const char* name) const { return server_.url(QLatin1Char('/') + QLatin1String(name)); }
  // Ids of every element of a collection, position 1 first.
  QStringList ids(const IndexedPage& indexed, const QString& collection,
                  const QString& property = QStringLiteral("id")) const {
    QStringList out;
    const int n = indexed.count(collection);
    for (int i = 1; i <= n; ++i) out << indexed.elementProperty(collection, i, property);
    return out;
  }

  test::PageServer server_;
  QWebEngineProfile* profile_ = nullptr;
  std::unique_ptr<BrowserControl> control_;

 private Q_SLOTS:
  void initTestCase() {
    for (const char* name : {"collections.html", "actions.html", "highlight.html", "pending.html"})
      QVERIFY(server_.addFixture(QString::fromLatin1(name)));
    // A document without a body: an SVG image shown on its own.
    server_.setPage("/nobody.svg",
                    "<svg xmlns='http://www.w3.org/2000/svg'><text y='20'>成功</text></svg>",
                    "image/svg+xml");
    QVERIFY(server_.start());
    profile_ = new QWebEngineProfile(this);  // off the record: nothing of the tests stays
    control_ = std::make_unique<BrowserControl>(nullptr, profile_);
  }

  void cleanupTestCase() { control_.reset(); }

  void collectionsFollowDocumentOrderAndTypes_data() {
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QStringList>("expected");
    const QString id = QStringLiteral("id");
    QTest::newRow("inputs of button types, then button elements")
        << "buttons" << id << QStringList{"b1", "b2", "b3", "be1", "be2"};
    QTest::newRow("text, password, file and untyped or unknown-typed inputs")
        << "textBoxes" << id << QStringList{"t1", "t2", "t3", "t4", "t5"};
    QTest::newRow("radios") << "radios" << id << QStringList{"r1", "r2"};
    QTest::newRow("checkboxes") << "checkboxes" << id << QStringList{"c1"};
    QTest::newRow("hiddens") << "hiddens" << id << QStringList{"h1"};
    QTest::newRow("image inputs, then image elements, then img")
        << "images" << id << QStringList{"i1", "i2", "svg1", "img1", "img2"};
    QTest::newRow("divs, nested ones after their parent")
        << "divs" << id << QStringList{"d1", "d2"};
    QTest::newRow("spans of either case") << "spans" << id << QStringList{"s1", "s2"};
    QTest::newRow("tables") << "tables" << id << QStringList{"tb1", "tb2"};
    QTest::newRow("selects") << "selects" << id << QStringList{"sel1"};
    QTest::newRow("text areas") << "textAreas" << id << QStringList{"ta1"};
    QTest::newRow("links with and without address") << "links" << id << QStringList{"a1", "a2"};
    QTest::newRow("forms") << "forms" << id << QStringList{"f1", "f2"};
    QTest::newRow("list items") << "listItems" << id << QStringList{"li1", "li2"};
    QTest::newRow("frames") << "frames" << QStringLiteral("name") << QStringList{"fr1", "fr2"};
  }

  void collectionsFollowDocumentOrderAndTypes() {
    QFETCH(QString, collection);
    QFETCH(QString, property);
    QFETCH(QStringList, expected);
    QVERIFY(loadAndWait(*control_, page("collections.html")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    QCOMPARE(ids(indexed, collection, property), expected);
  }

  void everyCollectionIsKnownAndNoOtherInputIsKept() {
    QVERIFY(loadAndWait(*control_, page("collections.html")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    int total = 0;
    for (const QString& name : IndexedPage::collectionNames()) total += indexed.count(name);
    // 35 collected elements; the email and number inputs belong to no collection.
    QCOMPARE(total, 35);
    QCOMPARE(indexed.count(QStringLiteral("inputs")), 0);
    QCOMPARE(indexed.count(QStringLiteral("__proto__")), 0);
  }

  void positionsOutsideTheCollectionDoNothing() {
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    const int buttons = indexed.count(QStringLiteral("buttons"));
    const int boxes = indexed.count(QStringLiteral("textBoxes"));
    const int links = indexed.count(QStringLiteral("links"));
    QCOMPARE(buttons, 2);
    QCOMPARE(boxes, 3);
    QCOMPARE(links, 3);

    for (int position : {0, -1, buttons + 1}) indexed.clickButton(position);
    for (int position : {0, -1, links + 1}) indexed.clickLink(position);
    for (int position : {0, -1, boxes + 1}) indexed.setTextBoxValue(position, QStringLiteral("x"));
    QCOMPARE(textOf(control_->page(), QStringLiteral("log")), QString());
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("tb1.value + '|' + tb2.value + '|' + "
                                                         "content.value"))
                 .toString(),
             QStringLiteral("first|second|"));

    // The last positions are in range and reach their elements.
    indexed.clickButton(buttons);
    indexed.clickButton(1);
    indexed.clickLink(links);
    indexed.setTextBoxValue(boxes, QStringLiteral("评论 <b>&amp;</b>"));
    QCOMPARE(textOf(control_->page(), QStringLiteral("log")), QStringLiteral("btn2,btn1,lnk3"));
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("content.value")).toString(),
             QStringLiteral("评论 <b>&amp;</b>"));
  }

  void highlightWrapsEveryOccurrence() {
    QVERIFY(loadAndWait(*control_, page("highlight.html")));
    QWebEnginePage* web = control_->page();
    const QString before = evalInPage(web, QStringLiteral("p1.innerText")).toString();
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    QVERIFY(indexed.highlightText(QStringLiteral("成功")));

    // Three occurrences; the one across the <i> boundary is marked in both of its pieces.
    QCOMPARE(evalInPage(web, QStringLiteral("Array.from(p1.querySelectorAll('b'), b => "
                                            "b.textContent).join('|')"))
                 .toString(),
             QStringLiteral("成功|成|功|成功"));
    QCOMPARE(evalInPage(web, QStringLiteral("p1.querySelector('i').firstChild.tagName")).toString(),
             QStringLiteral("B"));
    QCOMPARE(evalInPage(web, QStringLiteral("p1.innerText")).toString(), before);
    // The visible text now shows the highlight colours.
    QCOMPARE(
        evalInPage(web, QStringLiteral("getComputedStyle(p1.querySelector('b')).color")).toString(),
        QStringLiteral("rgb(255, 255, 102)"));
    QCOMPARE(evalInPage(web, QStringLiteral("getComputedStyle(p1.querySelector('b'))"
                                            ".backgroundColor"))
                 .toString(),
             QStringLiteral("rgb(255, 0, 0)"));
    // Hidden text, text split over two paragraphs, form fields and scripts are not the
    // page's visible text and stay as they were.
    QCOMPARE(evalInPage(web, QStringLiteral("document.querySelectorAll('b').length")).toInt(), 4);
    QCOMPARE(evalInPage(web, QStringLiteral("area.value")).toString(), QStringLiteral("成功"));

    // Runs of white space count as one space and case is ignored.
    QVERIFY(indexed.highlightText(QStringLiteral("hello world")));
    QCOMPARE(evalInPage(web, QStringLiteral("spaced.querySelector('b').textContent")).toString(),
             QStringLiteral("Hello\n    WORLD"));
  }

  void highlightNeverTurnsPageTextIntoMarkup() {
    QVERIFY(loadAndWait(*control_, page("highlight.html")));
    QWebEnginePage* web = control_->page();
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    const QString markup = QStringLiteral("<img src=x onerror=\"window.injected = 1\">");
    QVERIFY(indexed.highlightText(markup));
    QCOMPARE(evalInPage(web, QStringLiteral("markup.querySelector('b').textContent")).toString(),
             markup);
    QCOMPARE(evalInPage(web, QStringLiteral("document.images.length")).toInt(), 0);
    QTest::qWait(100);  // an image error handler would have run by now
    QCOMPARE(evalInPage(web, QStringLiteral("typeof window.injected")).toString(),
             QStringLiteral("undefined"));
  }

  void highlightThatFindsNothingChangesNothing() {
    QVERIFY(loadAndWait(*control_, page("highlight.html")));
    QWebEnginePage* web = control_->page();
    const QString before = evalInPage(web, QStringLiteral("document.body.innerHTML")).toString();
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    QVERIFY(!indexed.highlightText(QStringLiteral("不存在的文字")));
    QVERIFY(!indexed.highlightText(QString()));
    QCOMPARE(evalInPage(web, QStringLiteral("document.body.innerHTML")).toString(), before);
  }

  void documentWithoutBodyDoesNothing() {
    QVERIFY(loadAndWait(*control_, page("nobody.svg")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    QCOMPARE(indexed.count(QStringLiteral("links")), 0);
    indexed.clickButton(1);
    indexed.setTextBoxValue(1, QStringLiteral("x"));
    QVERIFY(!indexed.highlightText(QStringLiteral("成功")));
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("document.querySelectorAll('b').length"))
                 .toInt(),
             0);
  }

  void waitStopsAtItsTimeOutOnAPageThatNeverCompletes() {
    server_.holdHanging();
    BrowserControl control(nullptr, profile_);
    control.navigate(page("pending.html").toString());
    QTRY_COMPARE_WITH_TIMEOUT(
        evalInPage(control.page(), QStringLiteral("document.readyState")).toString(),
        QStringLiteral("interactive"), 10000);
    IndexedPage indexed;
    indexed.waitUntilComplete(&control, 300);
    // It came back because its steps ran out, not because the page finished.
    QCOMPARE(evalInPage(control.page(), QStringLiteral("document.readyState")).toString(),
             QStringLiteral("interactive"));
    QVERIFY(control.isLoading());
    // Not attached: the document lookup inside the wait collected nothing for this object.
    QCOMPARE(indexed.count(QStringLiteral("buttons")), 0);
    server_.releaseHanging();
  }

  void waitWithoutTimeOutKeepsDispatchingUntilThePageCompletes() {
    server_.holdHanging();
    BrowserControl control(nullptr, profile_);
    control.navigate(page("pending.html").toString());
    QTRY_COMPARE_WITH_TIMEOUT(
        evalInPage(control.page(), QStringLiteral("document.readyState")).toString(),
        QStringLiteral("interactive"), 10000);
    bool released = false;
    // This timer can only fire while the wait lets events run.
    QTimer::singleShot(300, this, [&] {
      released = true;
      server_.releaseHanging();
    });
    IndexedPage indexed;
    indexed.waitUntilComplete(&control);
    QVERIFY(released);
    QCOMPARE(evalInPage(control.page(), QStringLiteral("document.readyState")).toString(),
             QStringLiteral("complete"));
  }

  void waitRightAfterNavigateWaitsForTheNewPage() {
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    control_->navigate(page("collections.html").toString());
    IndexedPage indexed;
    indexed.waitUntilComplete(control_.get());
    QVERIFY(indexed.attach(control_.get()));
    QCOMPARE(indexed.count(QStringLiteral("forms")), 2);
  }

  void waitFollowsANavigationThatReplacesAnUnfinishedOne() {
    server_.holdHanging();
    BrowserControl control(nullptr, profile_);
    control.navigate(page("pending.html").toString());
    QTRY_COMPARE_WITH_TIMEOUT(
        evalInPage(control.page(), QStringLiteral("document.readyState")).toString(),
        QStringLiteral("interactive"), 10000);
    control.navigate(page("collections.html").toString());
    IndexedPage indexed;
    indexed.waitUntilComplete(&control);
    server_.releaseHanging();
    QVERIFY(!control.isLoading());
    QCOMPARE(control.page()->url().path(), QStringLiteral("/collections.html"));
    QVERIFY(indexed.attach(&control));
    QCOMPARE(indexed.count(QStringLiteral("forms")), 2);
  }

  // Navigations for which the engine reports no load at all: only the fragment changes (the
  // document stays), or the address is one the engine drops. The wait after them, which has no
  // time-out of its own, must end; a watchdog ends a wait that hangs by taking the browser away.
  void waitEndsAfterANavigationWithoutALoad_data() {
    QTest::addColumn<QString>("first");  // appended to the page's address
    QTest::addColumn<QString>("next");   // likewise when it starts with '#'
    QTest::newRow("fragment") << QString() << QStringLiteral("#bottom");
    QTest::newRow("another fragment") << QStringLiteral("#top") << QStringLiteral("#bottom");
    QTest::newRow("unknown scheme") << QString() << QStringLiteral("quillet-nowhere:item/1");
    QTest::newRow("script address") << QString() << QStringLiteral("javascript:void(0)");
  }
  void waitEndsAfterANavigationWithoutALoad() {
    QFETCH(QString, first);
    QFETCH(QString, next);
    const QString base = page("actions.html").toString();
    QPointer<BrowserControl> control = new BrowserControl(nullptr, profile_);
    QVERIFY(loadAndWait(*control, QUrl(base + first)));
    QVERIFY(evalInPage(control->page(), QStringLiteral("window.marker = 7; 1")).isValid());
    const QString address = next.startsWith(QLatin1Char('#')) ? base + next : next;
    control->navigate(address);
    QTimer::singleShot(20000, control.data(), [raw = control.data()] { delete raw; });
    IndexedPage indexed;
    indexed.waitUntilComplete(control.data());
    QVERIFY2(control, "the wait only ended because the browser was taken away");
    QVERIFY(!control->isLoading());
    // The same document is still shown: nothing was loaded.
    QCOMPARE(evalInPage(control->page(), QStringLiteral("window.marker")).toInt(), 7);
    delete control.data();
  }

  void waitEndsWhenTheBrowserIsDestroyed() {
    server_.holdHanging();
    // Right after the navigation starts: the wait must not take the page for finished.
    QPointer<BrowserControl> control = new BrowserControl(nullptr, profile_);
    control->navigate(page("pending.html").toString());
    QTimer::singleShot(300, control.data(), [raw = control.data()] { delete raw; });
    IndexedPage indexed;
    indexed.attach(control.data());  // the document may not be there yet; the wait finds it
    indexed.waitUntilComplete(control.data());
    const bool destroyedDuringWait = control.isNull();
    delete control.data();
    server_.releaseHanging();
    QVERIFY(destroyedDuringWait);
    // Its document went with it: every operation is silent.
    indexed.clickButton(1);
    QCOMPARE(indexed.count(QStringLiteral("buttons")), 0);
    QVERIFY(!indexed.highlightText(QStringLiteral("picture")));
  }

  void waitOnAnAttachedPageDoublesTheCollections() {
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    QMap<QString, int> before;
    for (const QString& name : IndexedPage::collectionNames()) before[name] = indexed.count(name);
    indexed.waitUntilComplete(control_.get(), 1000);
    for (const QString& name : IndexedPage::collectionNames())
      QCOMPARE(indexed.count(name), 2 * before[name]);
    // The earlier positions still reach the same elements; the copy follows them.
    const QStringList links = ids(indexed, QStringLiteral("links"));
    QCOMPARE(links, (QStringList{"lnk1", "lnk2", "lnk3", "lnk1", "lnk2", "lnk3"}));
    indexed.clickButton(1);
    indexed.clickButton(4);
    QCOMPARE(textOf(control_->page(), QStringLiteral("log")), QStringLiteral("btn1,btn2"));
    // A new attach starts over with one copy.
    QVERIFY(indexed.attach(control_.get()));
    QCOMPARE(indexed.count(QStringLiteral("links")), 3);
  }

  void documentLookupRefreshesTheObjectsOwnDocument() {
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    BrowserControl other(nullptr, profile_);
    QVERIFY(loadAndWait(other, page("collections.html")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    DocumentRef looked;
    QVERIFY(indexed.getDocumentFromWindow(&other, looked));
    QCOMPARE(looked.page(), other.page());
    // The object's own document got the second copy; the other browser's elements are not in.
    QCOMPARE(indexed.document().page(), control_->page());
    QCOMPARE(indexed.count(QStringLiteral("links")), 6);
    QCOMPARE(indexed.count(QStringLiteral("forms")), 0);
    // setDocument starts over on the document it is given.
    indexed.setDocument(looked);
    QCOMPARE(indexed.count(QStringLiteral("forms")), 2);
    QCOMPARE(indexed.count(QStringLiteral("links")), 2);
  }

  void attachWithoutABrowserLeavesThePageEmpty() {
    QWidget plain;
    auto* child = new QWidget(&plain);
    new QWidget(child);
    IndexedPage indexed;
    QVERIFY(!indexed.attach(&plain));
    QVERIFY(!indexed.attach(static_cast<QWidget*>(nullptr)));
    QVERIFY(!indexed.attach(DocumentRef()));
    QVERIFY(indexed.document().isNull());
    indexed.clickButton(1);
    indexed.clickLink(1);
    indexed.setTextBoxValue(1, QStringLiteral("x"));
    indexed.waitUntilComplete(&plain);
    indexed.waitUntilComplete(nullptr, 100);
    QVERIFY(!indexed.highlightText(QStringLiteral("x")));
    QCOMPARE(indexed.count(QStringLiteral("buttons")), 0);

    KeyedPage keyed;
    QVERIFY(!keyed.attach(&plain));
    QVERIFY(!keyed.clickLinkByKey(QStringLiteral("1"), 2));
    QVERIFY(keyed.getElementByKey(QStringLiteral("x"), 0).isNull());
    WindowDocument window;
    QVERIFY(!window.attach(&plain));
    QVERIFY(!window.attach(nullptr));
    QVERIFY(window.document().isNull());
  }

  void attachToABrowserThatHasNoPageFails() {
    BrowserControl fresh(nullptr, profile_);
    IndexedPage indexed;
    QVERIFY(!indexed.attach(&fresh));
    QCOMPARE(indexed.count(QStringLiteral("buttons")), 0);
    WindowDocument window;
    QVERIFY(!window.attach(&fresh));
    QCOMPARE(window.window(), &fresh);
  }

  void errorPageIsToldFromTheSitesOwnPages() {
    BrowserControl browser(nullptr, profile_);
    QVERIFY(!browser.showsErrorPage());
    // A port nobody listens on: the engine shows its own error page.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    browser.navigate(QStringLiteral("http://127.0.0.1:%1/logon").arg(port));
    QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading(), 15000);
    QVERIFY(browser.showsErrorPage());
    // A page of the site again: no longer the engine's.
    QVERIFY(loadAndWait(browser, server_.url(QStringLiteral("/actions.html"))));
    QVERIFY(!browser.showsErrorPage());
  }

  void attachFindsTheFirstBrowserDepthFirst() {
    QWidget root;
    auto* first = new QWidget(&root);
    auto* deep = new QWidget(first);
    auto* inner = new BrowserControl(deep, profile_);
    auto* later = new BrowserControl(&root, profile_);
    QCOMPARE(IndexedPage::findBrowserServerWindow(&root), inner);
    QCOMPARE(KeyedPage::findBrowserServerWindow(first), inner);
    QCOMPARE(WindowDocument::findBrowserServerWindow(later), nullptr);
    QList<QWidget*> all;
    IndexedPage::collectBrowserServerWindows(&root, all);
    QCOMPARE(all, (QList<QWidget*>{inner, later}));

    QVERIFY(loadAndWait(*inner, page("actions.html")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(&root));
    QCOMPARE(indexed.document().page(), inner->page());
    QCOMPARE(indexed.window(), &root);
    QCOMPARE(indexed.count(QStringLiteral("buttons")), 2);
    WindowDocument window;
    QVERIFY(window.attach(&root));
    QVERIFY(window.document() == indexed.document());
  }

  void navigationBetweenAttachAndUseDoesNothing() {
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    IndexedPage indexed;
    QVERIFY(indexed.attach(control_.get()));
    const DocumentRef old = indexed.document();
    QVERIFY(old.isCurrent());
    // The same page again: a new document with elements in the very same places.
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    QVERIFY(!old.isCurrent());
    indexed.clickButton(1);
    indexed.clickLink(1);
    indexed.setTextBoxValue(1, QStringLiteral("changed"));
    QVERIFY(!indexed.highlightText(QStringLiteral("成功")));
    QCOMPARE(indexed.count(QStringLiteral("buttons")), 0);
    QCOMPARE(textOf(control_->page(), QStringLiteral("log")), QString());
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("tb1.value")).toString(),
             QStringLiteral("first"));
    QCOMPARE(evalInPage(control_->page(), QStringLiteral("document.querySelectorAll('b').length"))
                 .toInt(),
             0);
    // Handing the old document to another object is just as inert.
    IndexedPage other;
    other.attach(old);
    QCOMPARE(other.count(QStringLiteral("links")), 0);
    // A fresh attach reaches the new document.
    QVERIFY(indexed.attach(control_.get()));
    QVERIFY(indexed.document() != old);
    indexed.clickButton(1);
    QCOMPARE(textOf(control_->page(), QStringLiteral("log")), QStringLiteral("btn1"));
  }

  void collectionsOfOnePageObjectAreItsOwn() {
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    IndexedPage first;
    QVERIFY(first.attach(control_.get()));
    {
      IndexedPage second;
      QVERIFY(second.attach(control_.get()));
      second.waitUntilComplete(control_.get(), 100);
      QCOMPARE(second.count(QStringLiteral("links")), 6);
      QCOMPARE(first.count(QStringLiteral("links")), 3);
    }
    // Dropping the second object leaves the first one's collections alone.
    QCOMPARE(first.count(QStringLiteral("links")), 3);
    first.clearCollections();
    QVERIFY(first.document().isNull());
    QCOMPARE(first.count(QStringLiteral("links")), 0);
  }

  void clearingCollectionsLeavesTheClipboardAlone() {
    QVERIFY(loadAndWait(*control_, page("actions.html")));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("the user's own copy"));
    {
      IndexedPage indexed;
      QVERIFY(indexed.attach(control_.get()));
      indexed.clearCollections();
      QVERIFY(indexed.attach(control_.get()));
    }
    QCOMPARE(clipboard->text(), QStringLiteral("the user's own copy"));
  }

  void defaultProfileIsNamedPersistentAndShared() {
    // The profile lives until the application ends, so its directory must too.
    static QTemporaryDir data;
    QVERIFY(data.isValid());
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", data.path().toLocal8Bit());
    QWebEngineProfile* profile = BrowserControl::defaultProfile();
    QVERIFY(profile);
    QCOMPARE(BrowserControl::defaultProfile(), profile);
    QCOMPARE(profile->storageName(), QStringLiteral("quillet"));
    QVERIFY(!profile->isOffTheRecord());
    QCOMPARE(profile->parent(), qApp);
    BrowserControl control;
    QCOMPARE(control.page()->profile(), profile);
  }
};

QTEST_MAIN(IndexedPageTest)
#include "indexed_page_test.moc"
