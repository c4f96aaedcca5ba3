#include "demo/demo_options.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace quillet {
namespace {

template <typename Number>
bool parseNumber(std::string_view text, Number& out) {
  if (text.empty()) return false;
  const auto* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end;
}

bool parseRate(std::string_view text, double& out) {
  const std::string copy(text);
  if (copy.empty()) return false;
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !(value >= 0.0 && value <= 1.0)) return false;
  out = value;
  return true;
}

// Seconds as a decimal number, more than 0 and at most a day.
bool parseSeconds(std::string_view text, double& out) {
  const std::string copy(text);
  if (copy.empty()) return false;
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !(value > 0.0 && value <= 86400.0)) return false;
  out = value;
  return true;
}

}  // namespace

std::vector<DemoAccount> DemoOptions::effectiveAccounts() const {
  if (accounts.empty()) return {DemoAccount{"demo", "demo123"}};
  return accounts;
}

DemoCommandLine parseDemoCommandLine(const std::vector<std::string>& arguments) {
  DemoCommandLine line;
  auto refuse = [&line](const std::string& message) {
    if (line.error.empty()) line.error = message;
  };

  for (std::size_t i = 0; i < arguments.size() && line.error.empty(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inlineValue;
    if (const auto equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      line.help = true;
      continue;
    }
    if (name == "--inert-login") {
      if (inlineValue) {
        refuse("--inert-login takes no value");
      } else {
        line.options.inertLogin = true;
      }
      continue;
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 < arguments.size()) return arguments[++i];
      refuse(name + " needs a value");
      return std::nullopt;
    };
    auto count = [&](int& out) {
      if (auto text = value(); text && (!parseNumber(*text, out) || out < 1)) {
        refuse(name + " needs a number of shares, at least 1");
      }
    };
    auto seconds = [&](double& out) {
      if (auto text = value(); text && !parseSeconds(*text, out)) {
        refuse(name + " needs seconds, more than 0 and at most 86400");
      }
    };
    auto rate = [&](double& out) {
      if (auto text = value(); text && !parseRate(*text, out)) {
        refuse(name + " must be a number from 0 to 1, not \"" + *text + "\"");
      }
    };

    if (name == "--port") {
      if (auto text = value();
          text && (!parseNumber(*text, line.port) || line.port < 1 || line.port > 65535)) {
        refuse("--port must be a port number from 1 to 65535");
      }
    } else if (name == "--host") {
      if (auto text = value(); text) {
        if (*text != "127.0.0.1" && *text != "localhost") {
          refuse("--host: the demo site serves on 127.0.0.1 only");
        }
      }
    } else if (name == "--fixed-captcha") {
      if (auto text = value(); text) {
        if (text->empty() || text->size() > 12) {
          refuse("--fixed-captcha needs a text of 1 to 12 characters");
        } else {
          line.options.fixedCaptcha = *text;
        }
      }
    } else if (name == "--account") {
      if (auto text = value(); text) {
        const auto colon = text->find(':');
        if (colon == std::string::npos || colon == 0) {
          refuse("--account needs USER:PASS");
        } else {
          line.options.accounts.push_back({text->substr(0, colon), text->substr(colon + 1)});
        }
      }
    } else if (name == "--fail-rate") {
      rate(line.options.failRate);
    } else if (name == "--wrong-link-rate") {
      rate(line.options.wrongLinkRate);
    } else if (name == "--stall-rate") {
      rate(line.options.stallRate);
    } else if (name == "--drop-rate") {
      rate(line.options.dropRate);
    } else if (name == "--stall-ms") {
      if (auto text = value();
          text && (!parseNumber(*text, line.options.stallMs) || line.options.stallMs < 0)) {
        refuse("--stall-ms must be a whole number of milliseconds");
      }
    } else if (name == "--latency-ms") {
      if (auto text = value(); text) {
        const auto colon = text->find(':');
        const std::string low = text->substr(0, colon);
        const std::string high = colon == std::string::npos ? low : text->substr(colon + 1);
        int lowMs = 0;
        int highMs = 0;
        if (!parseNumber(low, lowMs) || !parseNumber(high, highMs) || lowMs < 0 || highMs < lowMs ||
            highMs > 600000) {
          refuse("--latency-ms needs MIN:MAX in milliseconds, 0 <= MIN <= MAX <= 600000");
        } else {
          line.options.latencyMinMs = lowMs;
          line.options.latencyMaxMs = highMs;
        }
      }
    } else if (name == "--fail-item") {
      int id = 0;
      if (auto text = value(); text) {
        if (!parseNumber(*text, id)) {
          refuse("--fail-item needs an item id");
        } else {
          line.options.failItems.insert(id);
        }
      }
    } else if (name == "--fail-once") {
      int id = 0;
      if (auto text = value(); text) {
        if (!parseNumber(*text, id)) {
          refuse("--fail-once needs an item id");
        } else {
          line.options.failOnceItems.insert(id);
        }
      }
    } else if (name == "--seed") {
      std::uint64_t seed = 0;
      if (auto text = value(); text) {
        if (!parseNumber(*text, seed)) {
          refuse("--seed needs a whole number");
        } else {
          line.options.seed = seed;
        }
      }
    } else if (name == "--moved-layout") {
      if (inlineValue) {
        refuse("--moved-layout takes no value");
      } else {
        line.options.movedLayout = true;
      }
    } else if (name == "--sign-out-after") {
      count(line.options.signOutAfter);
    } else if (name == "--mute-after") {
      count(line.options.muteAfter);
    } else if (name == "--mute-seconds") {
      seconds(line.options.muteSeconds);
    } else if (name == "--outage-after") {
      count(line.options.outageAfter);
    } else if (name == "--outage-seconds") {
      seconds(line.options.outageSeconds);
    } else {
      refuse("unknown option \"" + arguments[i] + "\" (try --help)");
    }
  }
  return line;
}

std::string demoUsage() {
  return R"(Usage: quillet-demo-site [options]

A local share site for trying Quillet out and for its tests. It serves on
127.0.0.1 only.

Options:
  --port N               port to serve on (default 8421)
  --host 127.0.0.1       the only address it serves on
  --account USER:PASS    an account that can sign in (repeatable);
                         without it the account is demo / demo123
  --fixed-captcha TEXT   every captcha shows and expects TEXT
  --fail-rate R          share of confirmed shares that fail (0 to 1)
  --wrong-link-rate R    share of good item addresses answered as wrong
  --latency-ms MIN:MAX   delay every request by MIN to MAX milliseconds
  --stall-rate R         share of pages that never finish loading
  --stall-ms MS          how long a stalled page keeps loading (default 300000)
  --drop-rate R          share of requests answered by closing the connection
  --fail-item ID         shares of item ID always fail (repeatable)
  --fail-once ID         the first share of item ID fails, later ones go
                         through (repeatable)
  --inert-login          the login form's button does nothing: a sign-in
                         attempt leaves the form on the page unchanged
  --seed N               seed of the fault draws, for repeatable runs
  --moved-layout         a redesigned share page, for trying site profiles:
                         the link to the dialog reads "转发宝贝", the address
                         is text box 3 and its button is button 3 (a tag box
                         and a paste button come first), and a share that
                         went through says "宝贝已转发" (no "成功")
  --sign-out-after N     end the session that makes the Nth share: its next
                         page shows the login form
  --mute-after N         after the Nth share, answer every confirm with
                         "分享太频繁，请稍后再试" (not recorded) for a while
  --mute-seconds S       how long that lasts (default 10; may be a fraction)
  --outage-after N       after the Nth share, drop every connection without
                         an answer for a while
  --outage-seconds S     how long that lasts (default 10; may be a fraction)
                         Shares are counted from the site's start: every
                         confirm it records, made or failed. Each condition
                         begins once.
  --help                 show this text

Pages: /logon (sign-in and start page), /share, /item/ID (ID 1 to 100000),
/users/logout, /css/checkCode.php?; the record of shares as JSON at
/demo/shares, cleared by a POST to /demo/reset.
)";
}

}  // namespace quillet
