#pragma once

#include <QString>

#include "site/site_profile.h"

class QTextStream;

namespace quillet {

class BrowserControl;

/// The address submitted by the site check: it can never be an item, so the
/// site has to answer it with its wrong-link notice and nothing is shared.
inline constexpr char kSiteCheckAddress[] = "http://invalid.invalid/quillet-check";

/// What runSiteCheck() returns.
enum SiteCheckResult : int {
  kSiteCheckPassed = 0,     // every step found what the profile expects
  kSiteCheckFailed = 1,     // a step found something else (see its line)
  kSiteCheckSignedOut = 3,  // the start page shows the login form
};

/// A dry run of one share against the site in `browser`'s session, with the
/// profile's positions, texts and designed waits: the start page, its link N,
/// the share link, text box N and button N, then the address that cannot be
/// an item, which must bring the wrong-link notice. It never reaches the
/// confirm, so nothing is shared. Writes one line per step to `out`, "ok" or
/// what was found instead, and stops at the first step that fails.
int runSiteCheck(BrowserControl& browser, const SiteProfile& profile, QTextStream& out);

}  // namespace quillet
