#include "signin/session_check.h"

#include "signin/session_note.h"
#include "site/site_page.h"

namespace quillet {

SessionState checkSession(SitePage& page, const SiteProfile& profile, int loadLimitMs) {
  // Without a browser every step does nothing and no document is shown:
  // the site reads as unreachable.
  page.navigate(profile.logonUrl());
  page.waitUntilLoaded(loadLimitMs);
  if (page.isLoading() || page.showsErrorPage()) return SessionState::Unreachable;
  if (page.documentId(kPageAnswerTimeoutMs).isEmpty()) return SessionState::Unreachable;
  const bool signedIn = !page.showsLoginForm(kPageAnswerTimeoutMs);
  noteSession(signedIn);
  return signedIn ? SessionState::SignedIn : SessionState::SignedOut;
}

}  // namespace quillet
