#include "signin/session_check.h"

#include "browser/browser_control.h"
#include "browser/indexed_page.h"

namespace quillet {

bool showsLoginForm(QWidget* browserWindow, const SiteProfile& profile) {
  IndexedPage page;
  if (!page.Attach(browserWindow)) return false;
  return page.elementProperty(QStringLiteral("textBoxes"), profile.passwordBox,
                              QStringLiteral("type")) == QLatin1String("password");
}

SessionState checkSession(QWidget* browserWindow, const SiteProfile& profile, int loadLimitMs) {
  BrowserControl* browser = browserControlOf(browserWindow);
  if (browser == nullptr) return SessionState::Unreachable;
  browser->navigate(profile.logonUrl());
  IndexedPage waiter;
  waiter.WaitUntilComplete(browserWindow, loadLimitMs);
  if (browser->isLoading() || browser->showsErrorPage()) return SessionState::Unreachable;
  return showsLoginForm(browserWindow, profile) ? SessionState::SignedOut : SessionState::SignedIn;
}

}  // namespace quillet
