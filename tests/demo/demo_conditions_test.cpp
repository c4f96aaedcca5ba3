// Site-wide conditions of the demo share site that begin after the Nth share:
// a session that ends, an account muted for a while, an outage.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "demo/demo_site.h"
#include "signed_in_site.h"
#include "site_visitor.h"

namespace quillet {
namespace {

using test::contains;
using test::SignedInSite;
using Clock = std::chrono::steady_clock;

// Far beyond any condition's length in these tests: only a site whose
// condition never ends runs into it.
constexpr auto kGiveUp = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(50);

bool showsLoginForm(const std::string& page) {
  return contains(page, "type=\"password\"");
}

TEST(DemoConditions, SignOutAfterEndsTheSessionOfTheNthShareOnce) {
  DemoOptions options;
  options.signOutAfter = 3;
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);

  for (int item : {1, 2}) EXPECT_TRUE(contains(s.share(item), "分享成功")) << item;
  const auto before = s.visitor->get("/logon");
  ASSERT_TRUE(before);
  EXPECT_FALSE(showsLoginForm(before->body)) << "still signed in after two shares";

  // The third share is made; only then does the session end.
  EXPECT_TRUE(contains(s.share(3), "分享成功"));
  EXPECT_EQ(s.site.sessionUser(s.visitor->sessionId()), std::string());
  const auto share = s.visitor->get("/share");
  ASSERT_TRUE(share);
  EXPECT_EQ(share->status, 302);
  const auto logon = s.visitor->get("/logon");
  ASSERT_TRUE(logon);
  EXPECT_TRUE(showsLoginForm(logon->body));
  EXPECT_TRUE(contains(s.share(4), "请先登录"));
  EXPECT_EQ(s.site.shares().size(), 3u) << "a signed-out share never reaches the record";

  // Signed in again, the session lasts: the condition begins once.
  const auto again = s.visitor->signInWith("demo", "demo123", "4242");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 302);
  for (int item : {4, 5, 6, 7}) EXPECT_TRUE(contains(s.share(item), "分享成功")) << item;
  const auto later = s.visitor->get("/logon");
  ASSERT_TRUE(later);
  EXPECT_FALSE(showsLoginForm(later->body));
  EXPECT_EQ(s.site.shares().size(), 7u);
}

TEST(DemoConditions, MuteAfterTurnsSharesAwayWithANoticeForTheGivenTime) {
  DemoOptions options;
  options.muteAfter = 2;
  options.muteSeconds = 2.0;
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);

  EXPECT_TRUE(contains(s.share(1), "分享成功"));
  const auto beforeSecond = Clock::now();
  EXPECT_TRUE(contains(s.share(2), "分享成功")) << "the Nth share itself is made";

  // Muted: the address check still passes, the confirm is turned away.
  const std::string muted = s.share(3);
  EXPECT_TRUE(contains(muted, "频繁")) << muted;
  EXPECT_FALSE(contains(muted, "成功")) << muted;
  EXPECT_EQ(s.site.shares().size(), 2u) << "a muted share is not recorded";

  // Tried again until it goes through: every answer until then is the notice,
  // and the mute lasted its full time.
  std::string answer;
  while (Clock::now() - beforeSecond < kGiveUp) {
    answer = s.share(3);
    if (!contains(answer, "频繁")) break;
    std::this_thread::sleep_for(kPoll);
  }
  EXPECT_TRUE(contains(answer, "分享成功")) << answer;
  EXPECT_GE(Clock::now() - beforeSecond, std::chrono::seconds(2));

  const auto records = s.site.shares();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].item, 3);
  EXPECT_TRUE(records[2].ok);
  // The mute does not come back.
  for (int item : {4, 5, 6}) EXPECT_TRUE(contains(s.share(item), "分享成功")) << item;
}

TEST(DemoConditions, OutageAfterDropsEveryConnectionForTheGivenTime) {
  DemoOptions options;
  options.outageAfter = 2;
  options.outageSeconds = 2.0;
  SignedInSite s(options);
  ASSERT_TRUE(s.started && s.signedIn);

  EXPECT_TRUE(contains(s.share(1), "分享成功"));
  const auto beforeSecond = Clock::now();
  EXPECT_TRUE(contains(s.share(2), "分享成功")) << "the Nth share gets its answer";

  EXPECT_FALSE(s.visitor->get("/logon"));
  EXPECT_FALSE(s.visitor->get("/share"));
  EXPECT_FALSE(s.visitor->post("/share/check", {{"url", s.site.itemUrl(3)}}));
  // The test's own record stays reachable.
  const auto record = s.visitor->get("/demo/shares");
  ASSERT_TRUE(record);
  EXPECT_TRUE(contains(record->body, "\"item\":2"));

  bool answered = false;
  while (!answered && Clock::now() - beforeSecond < kGiveUp) {
    answered = static_cast<bool>(s.visitor->get("/share"));
    if (!answered) std::this_thread::sleep_for(kPoll);
  }
  EXPECT_TRUE(answered);
  EXPECT_GE(Clock::now() - beforeSecond, std::chrono::seconds(2));

  // Afterwards the session is still there and shares go through.
  const auto page = s.visitor->get("/share");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_TRUE(contains(s.share(3), "分享成功"));
  EXPECT_EQ(s.site.shares().size(), 3u);
}

}  // namespace
}  // namespace quillet
