// Faults injected by the demo share site, and requests it must survive.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <regex>
#include <thread>

#include "demo/demo_site.h"
#include "signed_in_site.h"
#include "site_visitor.h"

namespace quillet {
namespace {

using test::contains;
using test::SignedInSite;
using test::SiteVisitor;

TEST(DemoFaults, FailRateOneFailsEveryShareAndRecordsItAsFailed) {
  DemoOptions options;
  options.failRate = 1.0;
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);
  for (int item : {1, 2, 3}) {
    const std::string answer = s.share(item, "c");
    EXPECT_TRUE(contains(answer, "分享失败")) << answer;
    EXPECT_FALSE(contains(answer, "成功")) << answer;
  }
  const auto records = s.site.shares();
  ASSERT_EQ(records.size(), 3u);
  for (const auto& record : records) EXPECT_FALSE(record.ok);
  EXPECT_TRUE(contains(sharesToJson(records), "\"ok\":false"));
}

TEST(DemoFaults, RatesOfZeroChangeNothing) {
  DemoOptions options;  // every rate 0, with a seed so the draws are the same each run
  options.seed = 7;
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);
  for (int item = 1; item <= 25; ++item) {
    EXPECT_TRUE(contains(s.share(item), "分享成功")) << item;
  }
  EXPECT_EQ(s.site.shares().size(), 25u);
  EXPECT_FALSE(contains(s.visitor->get("/share")->body, "pending.js"));
}

TEST(DemoFaults, WrongLinkRateOneRefusesGoodAddressesWithTheNotice) {
  DemoOptions options;
  options.wrongLinkRate = 1.0;
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);
  EXPECT_TRUE(contains(s.share(5), "宝贝链接好像不对"));
  EXPECT_TRUE(s.site.shares().empty()) << "a refused address never reaches the confirm";
}

TEST(DemoFaults, FailItemsAlwaysFailWhileOtherItemsSucceed) {
  DemoOptions options;
  options.failItems = {8, 9};
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);
  EXPECT_TRUE(contains(s.share(8), "分享失败"));
  EXPECT_TRUE(contains(s.share(7), "分享成功"));
  EXPECT_TRUE(contains(s.share(9), "分享失败"));
  const auto records = s.site.shares();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_FALSE(records[0].ok);
  EXPECT_TRUE(records[1].ok);
  EXPECT_FALSE(records[2].ok);
}

TEST(DemoFaults, FailOnceItemsFailTheirFirstShareOnly) {
  DemoOptions options;
  options.failOnceItems = {12};
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);
  EXPECT_TRUE(contains(s.share(11), "分享成功"));
  EXPECT_TRUE(contains(s.share(12), "分享失败"));
  EXPECT_TRUE(contains(s.share(12), "分享成功"));
  EXPECT_TRUE(contains(s.share(12), "分享成功"));
  const auto records = s.site.shares();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_TRUE(records[0].ok);
  EXPECT_FALSE(records[1].ok);
  EXPECT_TRUE(records[2].ok);
  EXPECT_TRUE(records[3].ok);
}

TEST(DemoFaults, DropRateOneClosesConnectionsWithoutAnAnswer) {
  DemoOptions options;
  options.dropRate = 1.0;
  DemoSite site(options);
  ASSERT_TRUE(site.start());
  SiteVisitor visitor(site.port());
  for (const std::string path : {"/logon", "/css/checkCode.php?", "/share"}) {
    const auto result = visitor.get(path);
    EXPECT_FALSE(result) << path;
  }
  EXPECT_FALSE(visitor.post("/share/check", {{"url", site.itemUrl(1)}}));
  // The test's own record stays reachable, and the site keeps serving it.
  const auto record = visitor.get("/demo/shares");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->body, "[]");
}

TEST(DemoFaults, LatencyDelaysButStillAnswersAndStopInterruptsIt) {
  DemoOptions quick;
  quick.latencyMinMs = 1;
  quick.latencyMaxMs = 20;
  SignedInSite s(quick);
  ASSERT_TRUE(s.started && s.signedIn);
  EXPECT_TRUE(contains(s.share(3), "分享成功"));

  // A delay of ten minutes ends as soon as the site stops.
  DemoOptions slow;
  slow.latencyMinMs = slow.latencyMaxMs = 600000;
  DemoSite site(slow);
  ASSERT_TRUE(site.start());
  auto pending = std::async(std::launch::async, [port = site.port()] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(300);
    return static_cast<bool>(client.Get("/logon"));
  });
  // Give the request time to reach the delay; stop() must end it either way.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  site.stop();
  pending.get();  // returns instead of hanging for ten minutes
  EXPECT_FALSE(site.isRunning());
}

TEST(DemoFaults, StalledPagesCarryAResourceThatKeepsLoading) {
  DemoOptions options;
  options.stallRate = 1.0;
  options.stallMs = 300;
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);
  const auto page = s.visitor->get("/share");
  ASSERT_TRUE(page);
  std::smatch match;
  ASSERT_TRUE(std::regex_search(
      page->body, match, std::regex("<script src=\"(/assets/pending\\.js\\?n=\\d+)\" defer>")));
  // The page itself stays whole and usable.
  EXPECT_TRUE(contains(page->body, "分享宝贝"));
  EXPECT_TRUE(contains(s.visitor->get("/logon")->body, "pending.js"));

  // The held resource ends after the stall time with nothing but white space.
  const auto held = s.visitor->get(match[1].str());
  ASSERT_TRUE(held);
  EXPECT_EQ(held->status, 200);
  EXPECT_FALSE(held->body.empty());
  EXPECT_EQ(held->body.find_first_not_of(' '), std::string::npos);
}

TEST(DemoFaults, StopEndsAStalledResponseThatIsStillOpen) {
  DemoOptions options;
  options.stallRate = 1.0;
  options.stallMs = 600000;
  DemoSite site(options);
  ASSERT_TRUE(site.start());
  auto pending = std::async(std::launch::async, [port = site.port()] {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(300);
    return client.Get("/assets/pending.js?n=1");
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  site.stop();
  const auto result = pending.get();
  if (result) {
    EXPECT_EQ(result->body.find_first_not_of(' '), std::string::npos);
  }
}

// Sends raw bytes on a fresh connection and returns whatever comes back.
std::string rawExchange(int port, const std::string& bytes) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    (void)!write(fd, bytes.data(), bytes.size());
    shutdown(fd, SHUT_WR);
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
      answer.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return answer;
}

TEST(DemoHostileInput, MalformedAndOversizedRequestsAreRefusedAndTheSiteKeepsServing) {
  DemoSite site;
  ASSERT_TRUE(site.start());
  SiteVisitor visitor(site.port());

  const std::string huge(2 * 1024 * 1024, 'a');
  const auto big = visitor.client().Post("/logon", huge, "application/x-www-form-urlencoded");
  EXPECT_TRUE(!big || big->status == 413 || big->status == 400);

  const std::string garbage = rawExchange(site.port(), "GARBAGE\r\n\r\n");
  // Refused with 400 or by closing the connection; never with a page.
  EXPECT_TRUE(garbage.empty() || contains(garbage, " 400 ")) << garbage;
  rawExchange(site.port(), std::string("GET /logon HTTP/1.1\r\nHost: x\r\nCookie: QSID=") +
                               std::string(20000, 'z') + "\r\n\r\n");
  rawExchange(site.port(), "POST /share/confirm HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n");

  // Cookies the site never made and odd parameters are simply unknown.
  httplib::Client client("127.0.0.1", site.port());
  const auto forged =
      client.Post("/share/confirm", {{"Cookie", "QSID=../../etc; QSID="}},
                  httplib::Params{{"token", ""}, {"comment", std::string(5000, '\0')}});
  ASSERT_TRUE(forged);
  EXPECT_FALSE(contains(forged->body, "成功"));
  EXPECT_EQ(client.Get("/item/0")->status, 404);
  EXPECT_EQ(client.Get("/item/100001")->status, 404);
  EXPECT_EQ(client.Get("/item/99999999999999999999")->status, 404);
  EXPECT_EQ(client.Get("/no/such/page")->status, 404);
  EXPECT_TRUE(site.shares().empty());

  const auto page = visitor.get("/logon");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
}

}  // namespace
}  // namespace quillet
