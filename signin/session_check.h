#pragma once

#include <QWidget>

#include "share/site_profile.h"

namespace quillet {

/// What the start page said about the browser's session.
enum class SessionState {
  SignedIn,     // the start page came without the login form
  SignedOut,    // the start page is the login form
  Unreachable,  // the site could not be reached
};

/// Opens the site's start page in the browser below `browserWindow`, waits
/// until it has loaded (at most `loadLimitMs`) and tells whether it shows the
/// login form: a password box where the profile puts the form's password.
SessionState checkSession(QWidget* browserWindow, const SiteProfile& profile, int loadLimitMs);

/// True when the page shown now holds the login form.
bool showsLoginForm(QWidget* browserWindow, const SiteProfile& profile);

}  // namespace quillet
