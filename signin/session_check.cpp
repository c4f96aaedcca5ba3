#include "signin/session_check.h"

#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "browser/indexed_page.h"
#include "signin/session_note.h"

namespace quillet {

SessionState checkSession(QWidget* browserWindow, const SiteProfile& profile, int loadLimitMs) {
  BrowserControl* browser = browserControlOf(browserWindow);
  if (browser == nullptr) return SessionState::Unreachable;
  browser->navigate(profile.logonUrl());
  IndexedPage waiter;
  waiter.waitUntilComplete(browserWindow, loadLimitMs);
  if (browser->isLoading() || browser->showsErrorPage()) return SessionState::Unreachable;
  IndexedPage page;
  if (!page.attach(browserWindow)) return SessionState::Unreachable;
  const bool signedIn = !showsLoginForm(page);
  noteSession(signedIn);
  return signedIn ? SessionState::SignedIn : SessionState::SignedOut;
}

}  // namespace quillet
