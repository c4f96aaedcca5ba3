#pragma once

#include "site/site_profile.h"

namespace quillet {

class SitePage;

/// What the start page said about the browser's session.
enum class SessionState {
  SignedIn,     // the start page came without the login form
  SignedOut,    // the start page is the login form
  Unreachable,  // the site could not be reached
};

/// Opens the site's start page in the browser's `page`, waits until it has
/// loaded (at most `loadLimitMs`) and tells whether it shows the login form.
SessionState checkSession(SitePage& page, const SiteProfile& profile, int loadLimitMs);

}  // namespace quillet
