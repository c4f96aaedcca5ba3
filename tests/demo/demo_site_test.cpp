// The demo share site over real HTTP on 127.0.0.1: sign-in answers, the
// captcha's tie to the session, the share flow and the record of shares.
#include "demo/demo_site.h"

#include <gtest/gtest.h>

#include <regex>

#include "demo/item_address.h"
#include "site_visitor.h"

namespace quillet {
namespace {

using test::contains;
using test::SiteVisitor;
using test::tokenOf;

// The value of attribute `name` in one start tag, or "".
std::string attribute(const std::string& tag, const std::string& name) {
  std::smatch match;
  if (std::regex_search(tag, match, std::regex("\\s" + name + "=\"([^\"]*)\""))) return match[1];
  return {};
}

std::vector<std::string> startTags(const std::string& html, const std::string& element) {
  std::vector<std::string> tags;
  const std::regex pattern("<" + element + "\\b[^>]*>");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern);
       it != std::sregex_iterator(); ++it) {
    tags.push_back(it->str());
  }
  return tags;
}

// Text inputs (text, password, file) by name, and buttons by value: inputs of
// type button, submit or reset first, then button elements, as the program counts them.
std::vector<std::string> textInputs(const std::string& html) {
  std::vector<std::string> names;
  for (const auto& tag : startTags(html, "input")) {
    const auto type = attribute(tag, "type");
    if (type == "text" || type == "password" || type == "file")
      names.push_back(attribute(tag, "name"));
  }
  return names;
}

std::vector<std::string> buttons(const std::string& html) {
  std::vector<std::string> values;
  for (const auto& tag : startTags(html, "input")) {
    const auto type = attribute(tag, "type");
    if (type == "button" || type == "submit" || type == "reset")
      values.push_back(attribute(tag, "value"));
  }
  for (const auto& tag : startTags(html, "button")) values.push_back(tag);
  return values;
}

std::vector<std::string> linkTargets(const std::string& html) {
  std::vector<std::string> targets;
  for (const auto& tag : startTags(html, "a")) targets.push_back(attribute(tag, "href"));
  return targets;
}

class DemoSiteTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site.start()); }

  // A visitor that has fetched a captcha and signed in as demo.
  SiteVisitor signedInVisitor() {
    SiteVisitor visitor(site.port());
    EXPECT_TRUE(visitor.get("/css/checkCode.php?"));
    const auto captcha = site.sessionCaptcha(visitor.sessionId());
    EXPECT_TRUE(captcha.has_value());
    const auto answer = visitor.signInWith("demo", "demo123", captcha.value_or(""));
    EXPECT_TRUE(answer && answer->status == 302);
    return visitor;
  }

  DemoSite site;
};

TEST_F(DemoSiteTest, LoginPageHasTheFieldsAndButtonsInTheirOrder) {
  SiteVisitor visitor(site.port());
  const auto page = visitor.get("/logon");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_TRUE(contains(page->get_header_value("Content-Type"), "charset=utf-8"));
  EXPECT_EQ(textInputs(page->body),
            (std::vector<std::string>{"q", "username", "password", "checkcode"}));
  EXPECT_EQ(buttons(page->body), (std::vector<std::string>{"搜索", "登录"}));
  for (const auto& tag : startTags(page->body, "input")) {
    if (attribute(tag, "name") == "password") {
      EXPECT_EQ(attribute(tag, "type"), "password");
    }
  }
  const auto images = startTags(page->body, "img");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(attribute(images[0], "src"), "/css/checkCode.php?");
  // The sign-in check reads these words as outcomes; the page at rest has none.
  for (const std::string word : {"错误", "输入验证码", "成功"}) {
    EXPECT_FALSE(contains(page->body, word)) << word;
  }
  EXPECT_FALSE(visitor.sessionId().empty());
}

TEST_F(DemoSiteTest, LoginAnswersWrongAccountMissingAndWrongCaptcha) {
  SiteVisitor visitor(site.port());
  visitor.get("/css/checkCode.php?");
  const std::string captcha = site.sessionCaptcha(visitor.sessionId()).value_or("");
  ASSERT_EQ(captcha.size(), 4u);

  // A wrong password is reported as such even with the right captcha.
  auto answer = visitor.signInWith("demo", "wrong", captcha);
  ASSERT_TRUE(answer);
  EXPECT_TRUE(contains(answer->body, "用户名或密码错误"));
  auto unknown = visitor.signInWith("nobody", "demo123", "");
  EXPECT_TRUE(contains(unknown->body, "用户名或密码错误"));

  // Missing captcha: asked for, without any word the program reads as a wrong account.
  answer = visitor.signInWith("demo", "demo123", "  ");
  EXPECT_TRUE(contains(answer->body, "请输入验证码"));
  EXPECT_FALSE(contains(answer->body, "错误"));

  visitor.get("/css/checkCode.php?");
  const std::string fresh = site.sessionCaptcha(visitor.sessionId()).value_or("");
  answer = visitor.signInWith("demo", "demo123", fresh == "0000" ? "1111" : "0000");
  EXPECT_TRUE(contains(answer->body, "验证码错误"));
  for (const auto* failed : {&unknown, &answer}) {
    EXPECT_EQ((*failed)->status, 200);
    EXPECT_EQ(textInputs((*failed)->body).size(), 4u) << "the form stays for the next attempt";
    EXPECT_FALSE(contains((*failed)->body, "成功"));
  }
  EXPECT_EQ(site.sessionUser(visitor.sessionId()), "");
}

TEST_F(DemoSiteTest, SignInLeadsToTheStartPageAndItsSecondLinkToTheSharePage) {
  SiteVisitor visitor = signedInVisitor();
  EXPECT_EQ(site.sessionUser(visitor.sessionId()), "demo");

  const auto start = visitor.get("/logon");
  ASSERT_TRUE(start);
  for (const std::string word : {"错误", "输入验证码", "成功"}) {
    EXPECT_FALSE(contains(start->body, word)) << word;
  }
  const auto links = linkTargets(start->body);
  ASSERT_GE(links.size(), 2u);
  EXPECT_EQ(links[1], "/share");

  const auto share = visitor.get(links[1]);
  ASSERT_TRUE(share);
  EXPECT_EQ(share->status, 200);
  EXPECT_TRUE(std::regex_search(share->body, std::regex("<a [^>]*>分享宝贝</a>")));
  EXPECT_TRUE(contains(share->body, "<script src=\"/js/share.js\"></script>"));
  // Before the dialog is built: one text input and one button, so the dialog's
  // address field and submit are the second of each.
  EXPECT_EQ(textInputs(share->body).size(), 1u);
  EXPECT_EQ(buttons(share->body).size(), 1u);

  // The outcome words come from the server's answers only, never from the page or its script.
  const auto script = visitor.get("/js/share.js");
  ASSERT_TRUE(script);
  for (const std::string word : {"成功", "宝贝链接好像不对"}) {
    EXPECT_FALSE(contains(share->body, word)) << word;
    EXPECT_FALSE(contains(script->body, word)) << word;
  }
  EXPECT_TRUE(contains(script->body, "forwardContent"));
  EXPECT_TRUE(contains(script->body, "forwardMaga"));
}

TEST_F(DemoSiteTest, CaptchaBelongsToTheSessionThatFetchedItAndIsUsedUp) {
  SiteVisitor first(site.port());
  SiteVisitor second(site.port());
  const auto picture = first.get("/css/checkCode.php?");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(picture->body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  const std::string firstText = site.sessionCaptcha(first.sessionId()).value_or("");
  ASSERT_TRUE(site.lastCaptcha().has_value());
  EXPECT_EQ(site.lastCaptcha()->sessionId, first.sessionId());
  EXPECT_EQ(site.lastCaptcha()->text, firstText);

  // Fetch for the second session until its text differs from the first's.
  std::string secondText;
  for (int i = 0; i < 20 && (secondText.empty() || secondText == firstText); ++i) {
    second.get("/css/checkCode.php?");
    secondText = site.sessionCaptcha(second.sessionId()).value_or("");
  }
  ASSERT_NE(first.sessionId(), second.sessionId());
  ASSERT_NE(firstText, secondText);
  EXPECT_EQ(site.sessionCaptcha(first.sessionId()), firstText) << "the other session left it alone";
  EXPECT_EQ(site.lastCaptcha()->sessionId, second.sessionId());

  auto answer = second.signInWith("demo", "demo123", firstText);
  EXPECT_TRUE(contains(answer->body, "验证码错误"));
  answer = first.signInWith("demo", "demo123", firstText);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 302);
  EXPECT_EQ(answer->get_header_value("Location"), "/logon");
  EXPECT_EQ(site.sessionUser(first.sessionId()), "demo");
  EXPECT_EQ(site.sessionUser(second.sessionId()), "");

  // The second session's captcha was used up by its failed attempt.
  answer = second.signInWith("demo", "demo123", secondText);
  EXPECT_TRUE(contains(answer->body, "验证码错误"));
}

TEST_F(DemoSiteTest, LogoutEndsTheSession) {
  SiteVisitor visitor = signedInVisitor();
  const std::string oldSession = visitor.sessionId();
  const auto page = visitor.get("/users/logout");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_TRUE(visitor.sessionId().empty()) << "the cookie is removed";
  EXPECT_FALSE(site.sessionUser(oldSession).has_value());

  // A client that keeps sending the old cookie is signed out as well.
  httplib::Client replay("127.0.0.1", site.port());
  const auto share = replay.Get("/share", {{"Cookie", std::string("QSID=") + oldSession}});
  ASSERT_TRUE(share);
  EXPECT_EQ(share->status, 302);
  const auto logon = visitor.get("/logon");
  EXPECT_TRUE(contains(logon->body, "name=\"checkcode\""));
}

TEST_F(DemoSiteTest, ShareFlowChecksTheAddressAndRecordsTheShare) {
  SiteVisitor visitor = signedInVisitor();
  for (const std::string& wrong :
       {std::string("http://127.0.0.1:1/item/5"), site.itemUrl(0), site.itemUrl(100001),
        std::string("not an address"), std::string()}) {
    const auto answer = visitor.post("/share/check", {{"url", wrong}});
    ASSERT_TRUE(answer);
    EXPECT_TRUE(contains(answer->body, "宝贝链接好像不对")) << wrong;
    EXPECT_TRUE(contains(answer->body, "\"ok\":false"));
  }

  const auto accepted = visitor.post("/share/check", {{"url", site.itemUrl(4321)}});
  ASSERT_TRUE(accepted);
  EXPECT_TRUE(contains(accepted->body, "\"ok\":true"));
  const std::string token = tokenOf(accepted->body);
  ASSERT_FALSE(token.empty());

  const auto made =
      visitor.post("/share/confirm", {{"token", token}, {"comment", "这款宝贝真给力37"}});
  ASSERT_TRUE(made);
  EXPECT_TRUE(contains(made->body, "分享成功"));

  // The confirm is used up: a second press shares nothing.
  const auto again = visitor.post("/share/confirm", {{"token", token}, {"comment", "x"}});
  EXPECT_FALSE(contains(again->body, "成功"));

  const auto records = site.shares();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].account, "demo");
  EXPECT_EQ(records[0].item, 4321);
  EXPECT_EQ(records[0].address, site.itemUrl(4321));
  EXPECT_EQ(records[0].comment, "这款宝贝真给力37");
  EXPECT_TRUE(records[0].ok);
  EXPECT_TRUE(std::regex_match(records[0].time, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));

  const auto sharePage = visitor.get("/share");
  EXPECT_TRUE(contains(sharePage->body, "已分享 1 件宝贝"));
}

TEST_F(DemoSiteTest, AWrongAddressAfterAGoodOneWithdrawsTheOpenConfirm) {
  SiteVisitor visitor = signedInVisitor();
  const auto accepted = visitor.post("/share/check", {{"url", site.itemUrl(7)}});
  const std::string token = tokenOf(accepted->body);
  visitor.post("/share/check", {{"url", site.itemUrl(0)}});
  const auto confirm = visitor.post("/share/confirm", {{"token", token}, {"comment", ""}});
  EXPECT_FALSE(contains(confirm->body, "成功"));
  EXPECT_TRUE(site.shares().empty());
}

TEST_F(DemoSiteTest, SharingNeedsASignedInSessionOfItsOwn) {
  SiteVisitor owner = signedInVisitor();
  const std::string token = tokenOf(owner.post("/share/check", {{"url", site.itemUrl(9)}})->body);
  ASSERT_FALSE(token.empty());

  SiteVisitor stranger(site.port());
  stranger.get("/logon");
  EXPECT_FALSE(
      contains(stranger.post("/share/check", {{"url", site.itemUrl(9)}})->body, "\"ok\":true"));
  EXPECT_FALSE(contains(stranger.post("/share/confirm", {{"token", token}})->body, "成功"));
  EXPECT_EQ(stranger.get("/share")->status, 302);
  EXPECT_TRUE(site.shares().empty());
}

TEST_F(DemoSiteTest, JsonRecordListsEveryConfirmedShareAndResetClearsIt) {
  SiteVisitor visitor = signedInVisitor();
  const std::string comment = "引号\"与\\反斜杠\n换行";
  for (int id : {11, 12}) {
    const std::string token =
        tokenOf(visitor.post("/share/check", {{"url", site.itemUrl(id)}})->body);
    visitor.post("/share/confirm", {{"token", token}, {"comment", id == 11 ? comment : ""}});
  }
  SiteVisitor reader(site.port());
  const auto json = reader.get("/demo/shares");
  ASSERT_TRUE(json);
  EXPECT_TRUE(contains(json->get_header_value("Content-Type"), "application/json"));
  EXPECT_EQ(json->body, sharesToJson(site.shares()));
  EXPECT_TRUE(contains(json->body, R"("comment":"引号\"与\\反斜杠\n换行")"));
  EXPECT_LT(json->body.find("\"item\":11"), json->body.find("\"item\":12"));
  EXPECT_TRUE(contains(json->body, "\"account\":\"demo\""));

  ASSERT_TRUE(reader.post("/demo/reset", {}));
  EXPECT_TRUE(site.shares().empty());
  EXPECT_EQ(reader.get("/demo/shares")->body, "[]");
}

TEST(DemoSiteAccounts, GivenAccountsAndFixedCaptchaReplaceTheDefaults) {
  DemoOptions options;
  options.accounts = {{"小明", "密码1"}, {"bob", "pw:with:colons"}};
  options.fixedCaptcha = "AB12";
  DemoSite site(options);
  ASSERT_TRUE(site.start());

  SiteVisitor visitor(site.port());
  EXPECT_TRUE(contains(visitor.signInWith("demo", "demo123", "AB12")->body, "用户名或密码错误"));
  // The fixed text holds without fetching a picture first, in any letter case.
  const auto answer = visitor.signInWith("小明", "密码1", "ab12");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 302);
  EXPECT_EQ(site.sessionUser(visitor.sessionId()), "小明");

  visitor.get("/css/checkCode.php?");
  EXPECT_EQ(site.sessionCaptcha(visitor.sessionId()), "AB12");
}

TEST(DemoSiteLifetime, StartsOnLoopbackOnlyOnceAndStopsForGood) {
  DemoSite site;
  EXPECT_FALSE(site.start("0.0.0.0", 0));
  EXPECT_FALSE(site.start("192.168.1.1", 0));
  ASSERT_TRUE(site.start());
  EXPECT_TRUE(site.isRunning());
  EXPECT_EQ(site.baseUrl(), "http://127.0.0.1:" + std::to_string(site.port()));
  EXPECT_EQ(site.itemUrl(5), site.baseUrl() + "/item/5");
  EXPECT_FALSE(site.start()) << "already running";

  DemoSite rival;
  EXPECT_FALSE(rival.start("127.0.0.1", site.port())) << "the port is taken";

  const int port = site.port();
  site.stop();
  EXPECT_FALSE(site.isRunning());
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(2);
  EXPECT_FALSE(client.Get("/logon"));
  site.stop();  // a second stop is harmless
}

}  // namespace
}  // namespace quillet
