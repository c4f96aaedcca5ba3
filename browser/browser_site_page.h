#pragma once

#include <memory>

#include "site/site_page.h"

class QWidget;

namespace quillet {

class IndexedPage;

/// The page of the browser control in `browserWindow` (or a widget holding
/// it), reached through fresh page objects on every call. The window may go
/// first: the page then does nothing and finds nothing.
std::unique_ptr<SitePage> browserSitePage(QWidget* browserWindow);

/// True when `page` is the site's login form: the only page of the site
/// with a password box among its text boxes.
bool showsLoginForm(const IndexedPage& page);

}  // namespace quillet
