#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillet {

struct DemoAccount {
  std::string user;
  std::string password;
};

// Everything that shapes one demo share site: its accounts, its captcha, and
// the faults it injects. Rates are probabilities from 0 to 1.
struct DemoOptions {
  // The accounts that can sign in; when empty the site has one, "demo" / "demo123".
  std::vector<DemoAccount> accounts;
  // When not empty, every captcha shows and expects this text (for scripted runs),
  // also on an attempt made before any captcha picture was fetched.
  std::string fixedCaptcha;
  double failRate = 0.0;       // a confirmed share fails
  double wrongLinkRate = 0.0;  // a good item address is answered as a wrong one
  double stallRate = 0.0;      // a page never finishes loading
  double dropRate = 0.0;       // a request is answered by closing the connection
  int latencyMinMs = 0;        // every request waits a uniform time in [min, max] first
  int latencyMaxMs = 0;
  int stallMs = 300000;               // how long a stalled page keeps loading
  bool inertLogin = false;            // the login form's button does nothing at all
  std::set<int> failItems;            // shares of these items always fail
  std::optional<std::uint64_t> seed;  // fault draws; random when not given
  // The first share of each of these items fails; later ones go through.
  std::set<int> failOnceItems;
  // The moved layout: the share page's link reads "转发宝贝", the share dialog
  // has a tag box and a paste button before the address box and its button,
  // and a share that went through answers "宝贝已转发".
  bool movedLayout = false;
  // Site-wide conditions that begin right after the Nth share that reached the
  // confirm (counted from the site's start; 0: never). Each begins once.
  int signOutAfter = 0;         // the session that made that share is signed out
  int muteAfter = 0;            // then every confirm is answered "too often", unrecorded,
  double muteSeconds = 10.0;    //   for this long
  int outageAfter = 0;          // then every connection is dropped without an answer,
  double outageSeconds = 10.0;  //   for this long

  // The accounts in force (the default one when none was given).
  std::vector<DemoAccount> effectiveAccounts() const;
};

inline constexpr int kDefaultDemoPort = 8421;

// The command line of quillet-demo-site, parsed.
struct DemoCommandLine {
  DemoOptions options;
  int port = kDefaultDemoPort;
  std::string host = "127.0.0.1";
  bool help = false;
  std::string error;  // not empty when the arguments were refused
};

// Parses the arguments after the program name. Both "--name value" and
// "--name=value" are understood.
DemoCommandLine parseDemoCommandLine(const std::vector<std::string>& arguments);

// The --help text.
std::string demoUsage();

}  // namespace quillet
