#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The HTML pages of the demo share site. `tail` is markup placed at the very
// end of the body (the site uses it for a resource that keeps a page loading).
// Element order matters to the program that works these pages, see each page.

std::string htmlEscaped(std::string_view text);

// Signed out: text inputs in order search box, user name, password (type
// password), captcha; the captcha picture; buttons in order search, login.
// `notice` (may be empty) is the answer to a sign-in attempt.
// With `inertButton` the form's button is a plain button that does nothing when clicked.
std::string loginPage(std::string_view notice, std::string_view tail = {},
                      bool inertButton = false);

// Signed in: links in order home, "我的分享" (/share), sign out, then items.
std::string startPage(std::string_view user, int port, std::string_view tail = {});

// The share page: links home, "我的分享", sign out, then the "分享宝贝" link
// whose script builds the share dialog at the end of the body; its only text
// input and button before the dialog are the search box and search button.
std::string sharePage(std::string_view user, int sharesMade, std::string_view tail = {});

// The share page of the moved layout: the same, but the link reads "转发宝贝"
// and the dialog it opens has a tag box and a "清空链接" button first, so the
// address box is the third text input and its button the third button.
std::string movedSharePage(std::string_view user, int sharesMade, std::string_view tail = {});

std::string signedOutPage(std::string_view tail = {});
std::string itemPage(int id, std::string_view tail = {});
std::string searchPage(std::string_view query, int port, std::string_view tail = {});
std::string notFoundPage();

// The display name of item `id`.
std::string itemTitle(int id);

// The share page's script: opens the dialog, checks the address with the
// server, shows the comment field and confirm button, then the outcome.
std::string_view shareScript();

}  // namespace quillet
