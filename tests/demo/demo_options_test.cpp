// The command line of quillet-demo-site.
#include "demo/demo_options.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(DemoCommandLine, DefaultsGiveTheDemoAccountOnTheDefaultPort) {
  const auto line = parseDemoCommandLine({});
  EXPECT_TRUE(line.error.empty());
  EXPECT_EQ(line.port, 8421);
  EXPECT_EQ(line.host, "127.0.0.1");
  const auto accounts = line.options.effectiveAccounts();
  ASSERT_EQ(accounts.size(), 1u);
  EXPECT_EQ(accounts[0].user, "demo");
  EXPECT_EQ(accounts[0].password, "demo123");
  EXPECT_FALSE(line.options.seed.has_value());
}

TEST(DemoCommandLine, ReadsEveryOptionInBothSpellings) {
  const auto line = parseDemoCommandLine({"--port",
                                          "9000",
                                          "--fixed-captcha=1234",
                                          "--inert-login",
                                          "--account",
                                          "小明:密:码",
                                          "--account=bob:pw",
                                          "--fail-rate",
                                          "0.1",
                                          "--wrong-link-rate=0.05",
                                          "--latency-ms",
                                          "5:40",
                                          "--stall-rate",
                                          "1",
                                          "--stall-ms",
                                          "2500",
                                          "--drop-rate=0",
                                          "--fail-item",
                                          "3",
                                          "--fail-item=77",
                                          "--fail-once",
                                          "12",
                                          "--seed",
                                          "18446744073709551615",
                                          "--host",
                                          "localhost"});
  ASSERT_TRUE(line.error.empty()) << line.error;
  EXPECT_FALSE(line.help);
  EXPECT_EQ(line.port, 9000);
  EXPECT_EQ(line.options.fixedCaptcha, "1234");
  EXPECT_TRUE(line.options.inertLogin);
  ASSERT_EQ(line.options.accounts.size(), 2u);
  EXPECT_EQ(line.options.accounts[0].user, "小明");
  EXPECT_EQ(line.options.accounts[0].password, "密:码");
  EXPECT_EQ(line.options.effectiveAccounts().size(), 2u) << "given accounts replace the default";
  EXPECT_DOUBLE_EQ(line.options.failRate, 0.1);
  EXPECT_DOUBLE_EQ(line.options.wrongLinkRate, 0.05);
  EXPECT_EQ(line.options.latencyMinMs, 5);
  EXPECT_EQ(line.options.latencyMaxMs, 40);
  EXPECT_DOUBLE_EQ(line.options.stallRate, 1.0);
  EXPECT_EQ(line.options.stallMs, 2500);
  EXPECT_DOUBLE_EQ(line.options.dropRate, 0.0);
  EXPECT_EQ(line.options.failItems, (std::set<int>{3, 77}));
  EXPECT_EQ(line.options.failOnceItems, (std::set<int>{12}));
  EXPECT_EQ(line.options.seed, 18446744073709551615ull);
}

TEST(DemoCommandLine, RefusesWhatItCannotServe) {
  const std::vector<std::vector<std::string>> refused = {{"--port", "0"},
                                                         {"--port", "65536"},
                                                         {"--port", "80x"},
                                                         {"--port"},
                                                         {"--host", "0.0.0.0"},
                                                         {"--host", "192.168.0.2"},
                                                         {"--fail-rate", "1.5"},
                                                         {"--drop-rate", "-0.1"},
                                                         {"--stall-rate", "abc"},
                                                         {"--wrong-link-rate="},
                                                         {"--latency-ms", "50:10"},
                                                         {"--latency-ms", "x:1"},
                                                         {"--latency-ms", "-1:5"},
                                                         {"--account", "nopassword"},
                                                         {"--account", ":pw"},
                                                         {"--fixed-captcha", ""},
                                                         {"--fail-item", "one"},
                                                         {"--fail-once", "x"},
                                                         {"--fail-once"},
                                                         {"--seed", "-3"},
                                                         {"--stall-ms", "-1"},
                                                         {"--inert-login=yes"},
                                                         {"--verbose"},
                                                         {"stray"}};
  for (const auto& arguments : refused) {
    EXPECT_FALSE(parseDemoCommandLine(arguments).error.empty()) << arguments[0];
  }
}

// The redesigned share page is a plain switch: off unless asked for.
TEST(DemoCommandLine, MovedLayoutIsASwitch) {
  EXPECT_FALSE(parseDemoCommandLine({}).options.movedLayout);
  const auto line = parseDemoCommandLine({"--moved-layout", "--port", "9001"});
  ASSERT_TRUE(line.error.empty()) << line.error;
  EXPECT_TRUE(line.options.movedLayout);
  EXPECT_EQ(line.port, 9001);
  EXPECT_FALSE(parseDemoCommandLine({"--moved-layout=yes"}).error.empty());
  EXPECT_NE(demoUsage().find("--moved-layout"), std::string::npos);
}

// The site-wide conditions: a count of shares each, and how long mute and
// outage last; nothing of the kind unless asked for.
TEST(DemoCommandLine, SiteConditionsTakeACountAndSeconds) {
  const auto none = parseDemoCommandLine({});
  EXPECT_EQ(none.options.signOutAfter, 0);
  EXPECT_EQ(none.options.muteAfter, 0);
  EXPECT_EQ(none.options.outageAfter, 0);

  const auto line =
      parseDemoCommandLine({"--sign-out-after", "5", "--mute-after=6", "--mute-seconds", "0.5",
                            "--outage-after", "7", "--outage-seconds=30"});
  ASSERT_TRUE(line.error.empty()) << line.error;
  EXPECT_EQ(line.options.signOutAfter, 5);
  EXPECT_EQ(line.options.muteAfter, 6);
  EXPECT_DOUBLE_EQ(line.options.muteSeconds, 0.5);
  EXPECT_EQ(line.options.outageAfter, 7);
  EXPECT_DOUBLE_EQ(line.options.outageSeconds, 30.0);
  EXPECT_DOUBLE_EQ(parseDemoCommandLine({"--mute-after", "1"}).options.muteSeconds, 10.0);

  const std::vector<std::vector<std::string>> refused = {
      {"--sign-out-after", "0"},  {"--sign-out-after", "-2"},    {"--mute-after", "x"},
      {"--outage-after"},         {"--mute-seconds", "0"},       {"--mute-seconds", "-1"},
      {"--outage-seconds", "1s"}, {"--outage-seconds", "86401"}, {"--mute-seconds="}};
  for (const auto& arguments : refused) {
    EXPECT_FALSE(parseDemoCommandLine(arguments).error.empty()) << arguments[0];
  }
  for (const char* option : {"--sign-out-after", "--mute-after", "--mute-seconds", "--outage-after",
                             "--outage-seconds"}) {
    EXPECT_NE(demoUsage().find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace quillet
