#pragma once

#include <optional>
#include <string>

#include "demo/demo_site.h"
#include "site_visitor.h"

namespace quillet::test {

// A site with the given options, started, and a visitor signed in to it.
struct SignedInSite {
  explicit SignedInSite(DemoOptions options) : site((options.fixedCaptcha = "4242", options)) {
    started = site.start();
    visitor.emplace(site.port());
    const auto answer = visitor->signInWith("demo", "demo123", "4242");
    signedIn = answer && answer->status == 302;
  }

  // Checks the item's address and confirms it; returns the confirm's answer ("" when refused).
  std::string share(int item, const std::string& comment = "") {
    const auto check = visitor->post("/share/check", {{"url", site.itemUrl(item)}});
    if (!check) return "no answer to the check";
    const std::string token = tokenOf(check->body);
    if (token.empty()) return check->body;
    const auto confirm = visitor->post("/share/confirm", {{"token", token}, {"comment", comment}});
    return confirm ? confirm->body : "no answer to the confirm";
  }

  DemoSite site;
  bool started = false;
  bool signedIn = false;
  std::optional<SiteVisitor> visitor;
};

}  // namespace quillet::test
