#include "browser/cookie_bridge.h"

#include <QCoreApplication>
#include <QNetworkCookie>
#include <QSignalSpy>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <memory>

#include "net/cookie_jar.h"
#include "net/fetch_with_timeout.h"
#include "signin/fetch_wait_pump.h"
#include "tests/signin/test_servers.h"

using quillet::Cookie;
using quillet::CookieBridge;
using quillet::CookieJar;
using quillet::testing::CookieServer;

namespace {

std::vector<Cookie> jarCookiesNamed(const std::string& name) {
  std::vector<Cookie> found;
  for (const Cookie& cookie : CookieJar::instance().all()) {
    if (cookie.name == name) found.push_back(cookie);
  }
  return found;
}

std::string jarValue(const std::string& name) {
  const auto found = jarCookiesNamed(name);
  return found.size() == 1 ? found.front().value
                           : std::string("<") + std::to_string(found.size()) + " cookies>";
}

Cookie hostCookie(const std::string& name, const std::string& value) {
  Cookie cookie;
  cookie.domain = "127.0.0.1";
  cookie.path = "/";
  cookie.name = name;
  cookie.value = value;
  return cookie;
}

// Counts the jar's reports about one cookie name, from any thread.
class JarWatch {
 public:
  explicit JarWatch(std::string name) : name_(std::move(name)) {
    token_ = CookieJar::instance().addListener([this](const Cookie& cookie, bool) {
      if (cookie.name == name_) ++count_;
    });
  }
  ~JarWatch() { CookieJar::instance().removeListener(token_); }
  int count() const { return count_; }

 private:
  std::string name_;
  int token_;
  std::atomic<int> count_{0};
};

}  // namespace

class CookieBridgeTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CookieServer> server_;
  QWebEngineProfile* profile_ = nullptr;
  QWebEnginePage* page_ = nullptr;
  int engineAdded(const QByteArray& name) const {
    return int(std::count(added_.begin(), added_.end(), name));
  }
  QList<QByteArray> added_;
  QList<QByteArray> removed_;

  QUrl url(const std::string& path) const {
    return QUrl(QString::fromStdString(server_->base() + path));
  }

  void load(const std::string& path) {
    QSignalSpy finished(page_, &QWebEnginePage::loadFinished);
    page_->load(url(path));
    QVERIFY(finished.wait(20000));
    QVERIFY(finished.first().first().toBool());
  }

  // The cookies the browser sends with its next request.
  std::string browserSends() {
    load("/echo");
    return server_->lastCookies();
  }

  // Every change made before this call has crossed to the other side once a
  // marker set in the jar after them has reached the browser's store: both
  // directions run through the same queues, in order.
  void settle() {
    static int round = 0;
    const std::string value = std::to_string(++round);
    const QByteArray before = QByteArray::number(engineAdded("marker"));
    CookieJar::instance().set(hostCookie("marker", value));
    QTRY_VERIFY_WITH_TIMEOUT(engineAdded("marker") > before.toInt(), 10000);
  }

 private Q_SLOTS:
  void initTestCase() { quillet::setFetchWaitPump(quillet::qtFetchWaitPump()); }

  void init() {
    server_ = std::make_unique<CookieServer>();
    CookieJar::instance().clear();
    added_.clear();
    removed_.clear();
    profile_ = new QWebEngineProfile(this);  // off the record: nothing left on disk
    connect(profile_->cookieStore(), &QWebEngineCookieStore::cookieAdded, this,
            [this](const QNetworkCookie& cookie) { added_.append(cookie.name()); });
    connect(profile_->cookieStore(), &QWebEngineCookieStore::cookieRemoved, this,
            [this](const QNetworkCookie& cookie) { removed_.append(cookie.name()); });
    page_ = new QWebEnginePage(profile_, profile_);
    // The engine opens its cookie store with the first load.
    load("/echo");
  }

  void cleanup() {
    delete page_;     // before its profile, which the engine requires
    delete profile_;  // takes a bridge made by ensureFor() with it
    profile_ = nullptr;
    page_ = nullptr;
    server_.reset();
    CookieJar::instance().clear();
  }

  void cookiesTheSiteSetsReachTheJar() {
    CookieBridge bridge(profile_);
    load("/set?name=sid&value=abc&httponly=1");
    QTRY_COMPARE_WITH_TIMEOUT(jarValue("sid"), std::string("abc"), 10000);
    const Cookie stored = jarCookiesNamed("sid").front();
    QCOMPARE(stored.domain, std::string("127.0.0.1"));  // host-only, as the site set it
    QCOMPARE(stored.path, std::string("/"));
    QVERIFY(stored.httpOnly);
    QCOMPARE(stored.expires, std::int64_t(0));
  }

  void cookiesSetInTheJarAreSentByTheBrowserUntilRemoved() {
    CookieBridge bridge(profile_);
    CookieJar::instance().set(hostCookie("fromjar", "v1"));
    QTRY_COMPARE_WITH_TIMEOUT(engineAdded("fromjar"), 1, 10000);
    QCOMPARE(browserSends(), std::string("fromjar=v1"));

    CookieJar::instance().set(hostCookie("fromjar", "v2"));
    QTRY_VERIFY_WITH_TIMEOUT(engineAdded("fromjar") >= 2, 10000);
    QCOMPARE(browserSends(), std::string("fromjar=v2"));

    CookieJar::instance().remove(hostCookie("fromjar", "v2"));
    QTRY_VERIFY_WITH_TIMEOUT(removed_.contains("fromjar"), 10000);
    settle();
    const std::string sent = browserSends();
    QVERIFY2(sent.find("fromjar") == std::string::npos, sent.c_str());
    QVERIFY(jarCookiesNamed("fromjar").empty());
  }

  // The site replaces its own cookie: the engine reports the old value
  // removed and the new one added; the jar must end with the new value, not
  // with nothing.
  void aValueTheSiteReplacesStaysInTheJar() {
    CookieBridge bridge(profile_);
    load("/set?name=sess&value=one");
    QTRY_COMPARE_WITH_TIMEOUT(jarValue("sess"), std::string("one"), 10000);
    load("/set?name=sess&value=two");
    QTRY_COMPARE_WITH_TIMEOUT(jarValue("sess"), std::string("two"), 10000);
    settle();
    settle();
    QCOMPARE(jarValue("sess"), std::string("two"));
    QCOMPARE(browserSends().find("sess=two") != std::string::npos, true);
  }

  // A copy coming back from the other side is not copied again: each change
  // is reported once by each store.
  void copiesDoNotEchoBetweenTheStores() {
    CookieBridge bridge(profile_);
    JarWatch fromJar("loopjar");
    JarWatch fromPage("looppage");
    CookieJar::instance().set(hostCookie("loopjar", "1"));
    load("/set?name=looppage&value=1");
    QTRY_COMPARE_WITH_TIMEOUT(fromPage.count(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(engineAdded("loopjar"), 1, 10000);
    settle();
    settle();
    QCOMPARE(fromJar.count(), 1);
    QCOMPARE(fromPage.count(), 1);
    QCOMPARE(engineAdded("loopjar"), 1);
    QCOMPARE(engineAdded("looppage"), 1);
    QVERIFY(!removed_.contains("loopjar"));
    QVERIFY(!removed_.contains("looppage"));
  }

  // A host-only cookie and a domain cookie come back from the engine in the
  // jar's own form, so neither turns into a second cookie of another domain.
  void domainFormsSurviveTheRoundTrip() {
    CookieBridge bridge(profile_);
    Cookie wide = hostCookie("wide", "w");
    wide.domain = ".example.test";
    CookieJar::instance().set(wide);
    CookieJar::instance().set(hostCookie("narrow", "n"));
    QTRY_COMPARE_WITH_TIMEOUT(engineAdded("wide"), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(engineAdded("narrow"), 1, 10000);
    settle();
    QCOMPARE(jarCookiesNamed("wide").size(), std::size_t(1));
    QCOMPARE(jarCookiesNamed("wide").front().domain, std::string(".example.test"));
    QCOMPARE(jarCookiesNamed("narrow").size(), std::size_t(1));
    QCOMPARE(jarCookiesNamed("narrow").front().domain, std::string("127.0.0.1"));
    // The other domain's cookie stays with that domain.
    const std::string sent = browserSends();
    QVERIFY2(sent.find("narrow=n") != std::string::npos, sent.c_str());
    QVERIFY2(sent.find("wide") == std::string::npos, sent.c_str());
  }

  // The point of the bridge: a download made by the program belongs to the
  // browser's session, and cookies a download receives reach the browser.
  void downloadsShareTheBrowsersSession() {
    CookieBridge bridge(profile_);
    load("/set?name=session&value=s1&httponly=1");
    QTRY_COMPARE_WITH_TIMEOUT(jarValue("session"), std::string("s1"), 10000);
    std::string address = server_->base() + "/echo";
    QCOMPARE(quillet::fetchWithTimeout(address), std::string("session=s1"));

    address = server_->base() + "/set?name=fromfetch&value=f1";
    quillet::fetchWithTimeout(address);
    QTRY_COMPARE_WITH_TIMEOUT(engineAdded("fromfetch"), 1, 10000);
    const std::string sent = browserSends();
    QVERIFY2(sent.find("fromfetch=f1") != std::string::npos, sent.c_str());
    QVERIFY2(sent.find("session=s1") != std::string::npos, sent.c_str());
  }

  // Cookies the jar held before the bridge was made reach the browser. (The
  // engine offers no way to list the cookies it already holds, which is why
  // the program makes its bridge before the browser loads anything.)
  void cookiesAlreadyInTheJarReachTheBrowser() {
    CookieJar::instance().set(hostCookie("jarearly", "j"));
    QCOMPARE(browserSends(), std::string());
    CookieBridge bridge(profile_);
    QTRY_COMPARE_WITH_TIMEOUT(engineAdded("jarearly"), 1, 10000);
    QCOMPARE(browserSends(), std::string("jarearly=j"));
  }

  // A cookie the browser's store has only just taken is in the jar once
  // catchUp() returns, with no other wait: a download right after a sign-in
  // carries the new session, not the one from before. The marker it waits
  // for reaches neither the jar nor the site, and is gone afterwards.
  void catchUpBringsTheStoreIntoTheJar() {
    CookieBridge bridge(profile_);
    QNetworkCookie fresh("sid", "after-sign-in");
    fresh.setPath(QStringLiteral("/"));
    profile_->cookieStore()->setCookie(fresh, url("/"));
    QVERIFY(bridge.catchUp(10000));
    QCOMPARE(jarValue("sid"), std::string("after-sign-in"));
    for (const Cookie& cookie : CookieJar::instance().all())
      QVERIFY2(cookie.name != "quillet-catch-up", cookie.domain.c_str());
    QCOMPARE(browserSends(), std::string("sid=after-sign-in"));
    QTRY_COMPARE_WITH_TIMEOUT(int(removed_.count("quillet-catch-up")), 1, 10000);

    // A second catch-up waits for its own marker, not the first one's.
    QNetworkCookie next("sid", "renewed");
    next.setPath(QStringLiteral("/"));
    profile_->cookieStore()->setCookie(next, url("/"));
    QVERIFY(bridge.catchUp(10000));
    QCOMPARE(jarValue("sid"), std::string("renewed"));
  }

  // Without a store to ask there is nothing to wait for.
  void catchUpWithoutAProfile() {
    CookieBridge bridge(nullptr);
    QVERIFY(!bridge.catchUp(100));
  }

  void ensureForMakesOneBridgePerProfile() {
    CookieBridge* first = CookieBridge::ensureFor(profile_);
    QVERIFY(first != nullptr);
    QCOMPARE(CookieBridge::ensureFor(profile_), first);
    QCOMPARE(first->profile(), profile_);
    QCOMPARE(CookieBridge::ensureFor(nullptr), static_cast<CookieBridge*>(nullptr));
    load("/set?name=viaensure&value=1");
    QTRY_COMPARE_WITH_TIMEOUT(jarValue("viaensure"), std::string("1"), 10000);
  }
};

QTEST_MAIN(CookieBridgeTest)
#include "cookie_bridge_test.moc"
