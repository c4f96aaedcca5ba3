#include "net/cookie_jar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "net/fetch_with_timeout.h"
#include "net/http_request.h"
#include "raw_http_server.h"

namespace quillet {
namespace {

using testing::answerWith;
using testing::headerValue;
using testing::RawConnection;
using testing::RawHttpServer;
using testing::requestTarget;

std::int64_t inOneHour() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
             .count() +
         3600;
}

std::optional<Cookie> find(const std::string& name) {
  for (const Cookie& cookie : CookieJar::instance().all()) {
    if (cookie.name == name) return cookie;
  }
  return std::nullopt;
}

// Records what the listeners hear, from whichever thread.
class Recorder {
 public:
  Recorder() {
    token_ = CookieJar::instance().addListener([this](const Cookie& cookie, bool removed) {
      std::lock_guard lock(mutex_);
      events_.push_back((removed ? "-" : "+") + cookie.name + "=" + cookie.value);
      threads_.push_back(std::this_thread::get_id());
    });
  }
  ~Recorder() { CookieJar::instance().removeListener(token_); }
  std::vector<std::string> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<std::thread::id> threads() {
    std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  int token_;
  std::mutex mutex_;
  std::vector<std::string> events_;
  std::vector<std::thread::id> threads_;
};

class CookieJarTest : public ::testing::Test {
 protected:
  void SetUp() override { CookieJar::instance().clear(); }
  void TearDown() override { CookieJar::instance().clear(); }
};

TEST_F(CookieJarTest, SetReplaceAndRemove) {
  CookieJar& jar = CookieJar::instance();
  const std::int64_t expires = inOneHour();
  jar.set({".example.com", "/app", "sid", "abc", true, true, expires});
  jar.set({"host.test", "", "plain", "1"});
  auto cookies = jar.all();
  ASSERT_EQ(cookies.size(), 2u);
  const Cookie sid = *find("sid");
  EXPECT_EQ(sid, (Cookie{".example.com", "/app", "sid", "abc", true, true, expires}));
  EXPECT_EQ(find("plain")->path, "/");
  EXPECT_EQ(find("plain")->domain, "host.test");
  EXPECT_EQ(find("plain")->expires, 0);

  // Same domain, path and name: replaced. Another path: a second cookie of that name.
  jar.set({".example.com", "/app", "sid", "xyz", false, false, 0});
  jar.set({".example.com", "/other", "sid", "second"});
  cookies = jar.all();
  ASSERT_EQ(cookies.size(), 3u);
  EXPECT_EQ(std::count_if(cookies.begin(), cookies.end(),
                          [](const Cookie& c) { return c.value == "xyz"; }),
            1);

  jar.remove({".example.com", "/app", "sid", ""});
  cookies = jar.all();
  ASSERT_EQ(cookies.size(), 2u);
  EXPECT_FALSE(std::any_of(cookies.begin(), cookies.end(),
                           [](const Cookie& c) { return c.value == "xyz"; }));
  // Removing what is not there changes nothing.
  jar.remove({"nowhere.test", "/", "none", ""});
  EXPECT_EQ(jar.all().size(), 2u);
}

TEST_F(CookieJarTest, BadCookiesAreIgnored) {
  CookieJar& jar = CookieJar::instance();
  jar.set({"", "/", "a", "1"});
  jar.set({"h.test", "/", "", "1"});
  jar.set({"h.test", "/", "a", "line\nbreak"});
  jar.set({"h.test", "/", "t\tab", "1"});
  jar.set({"h.test", "/", "past", "1", false, false, 1000});
  // Found by fuzzing: a domain that libcurl's cookie lines would read as their HttpOnly mark.
  jar.set({"#HttpOnly_h.test", "/", "marked", "1"});
  EXPECT_TRUE(jar.setFromHeader("#h.test", "comment=1"));
  EXPECT_TRUE(jar.all().empty());
  jar.set({"h.test", "/", "empty", ""});
  ASSERT_EQ(jar.all().size(), 1u);
  EXPECT_EQ(jar.all()[0].value, "");
}

TEST_F(CookieJarTest, ListenersHearEveryChangeAndOnlyChanges) {
  CookieJar& jar = CookieJar::instance();
  Recorder recorder;
  jar.set({"h.test", "/", "a", "1"});
  jar.set({"h.test", "/", "a", "1"});  // no change, no event
  jar.set({"h.test", "/", "a", "2"});
  jar.remove({"h.test", "/", "a", ""});
  jar.set({"h.test", "/", "b", "1", false, false, 1000});  // already expired: nothing stored
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"+a=1", "+a=2", "-a=2"}));

  // A listener may change the jar itself; a removed listener hears nothing more.
  const int echo = jar.addListener([&](const Cookie& cookie, bool removed) {
    if (!removed && cookie.name == "ping") jar.set({"h.test", "/", "pong", cookie.value});
  });
  jar.set({"h.test", "/", "ping", "7"});
  EXPECT_EQ(find("pong")->value, "7");
  jar.removeListener(echo);
  jar.set({"h.test", "/", "ping", "8"});
  EXPECT_EQ(find("pong")->value, "7");
}

TEST_F(CookieJarTest, CookiesFromHeaderText) {
  CookieJar& jar = CookieJar::instance();
  EXPECT_TRUE(
      jar.setFromHeader("www.site.test", "a=1; Path=/x; Domain=.site.test; Secure; HttpOnly"));
  const Cookie a = *find("a");
  EXPECT_EQ(a.domain, ".site.test");
  EXPECT_EQ(a.path, "/x");
  EXPECT_TRUE(a.secure);
  EXPECT_TRUE(a.httpOnly);
  // A site cannot set a cookie for another one: the cookie stays its own.
  EXPECT_TRUE(jar.setFromHeader("www.site.test", "b=2; domain=other.test"));
  EXPECT_EQ(find("b")->domain, "www.site.test");
  EXPECT_TRUE(jar.setFromHeader("www.site.test", "c=3; expires=Wed, 01 Jan 2098 00:00:00 GMT"));
  EXPECT_EQ(find("c")->expires, 4039372800);
  EXPECT_TRUE(jar.setFromHeader("www.site.test", "d=4; max-age=100"));
  EXPECT_GT(find("d")->expires, 0);
  EXPECT_TRUE(jar.setFromHeader("www.site.test", "d=4; max-age=0"));
  EXPECT_FALSE(find("d").has_value());
  EXPECT_FALSE(jar.setFromHeader("www.site.test", "novalue"));
  EXPECT_FALSE(jar.setFromHeader("www.site.test", "=x"));
}

TEST_F(CookieJarTest, TransfersSendMatchingCookiesAndReportReceivedOnes) {
  RawHttpServer server([](RawConnection& connection) {
    const std::string request = connection.readRequest();
    const std::string answer =
        requestTarget(request) == "/set"
            ? RawHttpServer::response("200 OK", "Set-Cookie: got=1; path=/\r\n", "")
            : RawHttpServer::response("200 OK", "", headerValue(request, "Cookie"));
    connection.send(answer);
  });
  CookieJar& jar = CookieJar::instance();
  jar.set({"127.0.0.1", "/", "mine", "1"});
  jar.set({"127.0.0.1", "/deep", "deep", "1"});
  jar.set({"localhost", "/", "other", "1"});

  std::string address = server.url("/echo");
  EXPECT_EQ(fetchWithTimeout(address), "mine=1");
  address = server.url("/deep/echo");
  const std::string both = fetchWithTimeout(address);
  EXPECT_NE(both.find("mine=1"), std::string::npos);
  EXPECT_NE(both.find("deep=1"), std::string::npos);
  EXPECT_EQ(both.find("other"), std::string::npos);

  Recorder recorder;
  address = server.url("/set");
  fetchWithTimeout(address);
  EXPECT_EQ(recorder.events(), (std::vector<std::string>{"+got=1"}));
  // Heard on the worker thread that ran the transfer.
  ASSERT_EQ(recorder.threads().size(), 1u);
  EXPECT_NE(recorder.threads()[0], std::this_thread::get_id());
  EXPECT_EQ(find("got")->domain, "127.0.0.1");
}

TEST_F(CookieJarTest, ManyThreadsAtOnce) {
  RawHttpServer server([](RawConnection& connection) {
    const std::string request = connection.readRequest();
    const std::string target = requestTarget(request);  // "/set?NAME"
    connection.send(RawHttpServer::response(
        "200 OK", "Set-Cookie: " + target.substr(5) + "=v; path=/\r\n", ""));
  });
  Recorder recorder;
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) {
        const std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
        HttpRequestRecord record{server.url("/set?" + name), "GET", "", "", "", "",
                                 kFollowRedirectsText};
        performHttpRequest(record);
        CookieJar::instance().set({"elsewhere.test", "/", name, "x"});
        if (i % 2 == 0) CookieJar::instance().remove({"elsewhere.test", "/", name, ""});
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const auto cookies = CookieJar::instance().all();
  EXPECT_EQ(std::count_if(cookies.begin(), cookies.end(),
                          [](const Cookie& c) { return c.domain == "127.0.0.1"; }),
            60);
  EXPECT_EQ(std::count_if(cookies.begin(), cookies.end(),
                          [](const Cookie& c) { return c.domain == "elsewhere.test"; }),
            30);
  // Every received cookie was reported exactly once.
  const auto events = recorder.events();
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& e) { return e.ends_with("=v"); }),
            60);
}

// A Domain attribute that names a public suffix or a part of an address would hand the cookie to
// every host under it; the cookie stays with the host that set it. Whether the cookie comes as
// header text, over the wire with a cookie text of the caller's, or straight into the jar.
TEST_F(CookieJarTest, NoCookieForAPublicSuffixOrAnAddressPart) {
  CookieJar& jar = CookieJar::instance();
  EXPECT_TRUE(jar.setFromHeader("www.example.co.uk", "uk=1; Domain=co.uk"));
  EXPECT_TRUE(jar.setFromHeader("www.example.co.uk", "dotuk=1; Domain=.CO.UK"));
  EXPECT_TRUE(jar.setFromHeader("shop.example.com", "com=1; Domain=com"));
  EXPECT_TRUE(jar.setFromHeader("127.0.0.1", "ip=1; Domain=.0.0.1"));
  EXPECT_TRUE(jar.setFromHeader("user.github.io", "priv=1; Domain=github.io"));
  EXPECT_EQ(find("uk")->domain, "www.example.co.uk");
  EXPECT_EQ(find("dotuk")->domain, "www.example.co.uk");
  EXPECT_EQ(find("com")->domain, "shop.example.com");
  EXPECT_EQ(find("ip")->domain, "127.0.0.1");
  EXPECT_EQ(find("priv")->domain, "user.github.io");
  // The registrable domain itself is fine.
  EXPECT_TRUE(jar.setFromHeader("www.example.co.uk", "site=1; Domain=example.co.uk"));
  EXPECT_EQ(find("site")->domain, ".example.co.uk");

  jar.set({".com", "/", "wide", "1"});
  jar.set({".0.0.1", "/", "wideip", "1"});
  EXPECT_FALSE(find("wide").has_value());
  EXPECT_FALSE(find("wideip").has_value());

  RawHttpServer server(answerWith(
      RawHttpServer::response("200 OK", "Set-Cookie: wire=1; Domain=.0.0.1; path=/\r\n", "")));
  std::string address = server.url("/");
  fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                   std::string("mine=1"));
  EXPECT_EQ(find("wire")->domain, "127.0.0.1");
}

// A Max-Age beyond what the clock can count is a cookie for a very long time, not an overflow
// that drops it or deletes the stored one.
TEST_F(CookieJarTest, HugeMaxAgeMeansForALongTime) {
  CookieJar& jar = CookieJar::instance();
  EXPECT_TRUE(jar.setFromHeader("h.test", "keep=old"));
  EXPECT_TRUE(jar.setFromHeader("h.test", "keep=new; Max-Age=9223372036854775807"));
  ASSERT_TRUE(find("keep").has_value());
  EXPECT_EQ(find("keep")->value, "new");
  EXPECT_GT(find("keep")->expires, inOneHour() + 100LL * 365 * 24 * 3600);
  EXPECT_TRUE(jar.setFromHeader("h.test", "more=1; Max-Age=99999999999999999999999"));
  EXPECT_TRUE(find("more").has_value());
  EXPECT_TRUE(jar.setFromHeader("h.test", "keep=gone; Max-Age=-9223372036854775808"));
  EXPECT_FALSE(find("keep").has_value());
}

// One answer with thousands of cookies, taken with a cookie text of the caller's (so the engine
// stores them itself): all are stored, and the listeners hear each once.
TEST_F(CookieJarTest, ThousandsOfCookiesInOneAnswer) {
  constexpr int kCount = 5000;
  std::string lines;
  for (int i = 0; i < kCount; ++i) lines += "Set-Cookie: c" + std::to_string(i) + "=v\r\n";
  RawHttpServer server(answerWith(RawHttpServer::response("200 OK", lines, "body")));
  Recorder recorder;
  std::string address = server.url("/");
  EXPECT_EQ(fetchWithTimeout(address, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::string("x=1"), 120),
            "body");
  EXPECT_EQ(CookieJar::instance().all().size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(recorder.events().size(), static_cast<std::size_t>(kCount));
}

}  // namespace
}  // namespace quillet
