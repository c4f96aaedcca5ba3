#pragma once

#include <QString>
#include <memory>

namespace quillet {

/// How long a check whose answer decides an outcome (a share's success, a
/// refused address) waits for a busy page: a late answer must not pass for
/// "not found". Real time, not scaled.
inline constexpr int kOutcomeAnswerTimeoutMs = 10000;

/// How long an ordinary look at the page waits for its answer: a page busy
/// for longer reads as showing nothing. Real time, not scaled.
inline constexpr int kPageAnswerTimeoutMs = 1000;

/// What the page says about the site as a whole.
enum class SiteState {
  Usable,     // a page of the site, without its login form
  SignedOut,  // the site's login form: the session has ended
  Down,       // the engine's error page: the page could not be loaded
};

/// The share site's page as the page steps work it: what a user does in the
/// browser (navigate, click, fill in, look for a text). Each call reaches
/// the page as it stands at that moment. The browser control is the one
/// real page; a site kept in memory stands in for it where thousands of
/// passes have to run in seconds.
class SitePage {
 public:
  virtual ~SitePage();

  virtual void navigate(const QString& url) = 0;
  /// Waits until the page has loaded, at most `limitMs` (real time).
  virtual void waitUntilLoaded(int limitMs) = 0;
  /// Clicks the link at 1-based `position` among the page's links.
  virtual void clickLink(int position) = 0;
  /// Clicks the first link found by `key` (mode as KeyedPage takes it).
  virtual void clickLinkByKey(const QString& key, int mode, bool exact) = 0;
  /// Sets the text box at 1-based `position` to `value`.
  virtual void setTextBoxValue(int position, const QString& value) = 0;
  /// Clicks the button at 1-based `position`.
  virtual void clickButton(int position) = 0;
  /// Sets the value of the element found by `key`.
  virtual void setValueByKey(const QString& key, int mode, const QString& value) = 0;
  /// Whether `text` is on the page (each occurrence is marked); a busy page
  /// gets `answerTimeoutMs` to answer. `answered` (when given) tells whether
  /// the page answered at all: "not found" from a page that did not says
  /// nothing.
  virtual bool highlightText(const QString& text, int answerTimeoutMs, bool* answered) = 0;
  /// The state of the site, read from the page shown now.
  virtual SiteState siteState() = 0;

  /// Whether a load is under way (asked for and not yet finished).
  virtual bool isLoading() = 0;
  /// Whether the page shown is the engine's own error page for a load that
  /// failed: no page of the site.
  virtual bool showsErrorPage() = 0;
  /// Names the document shown now: the same name for as long as that
  /// document is shown, another one once a load replaces it. Empty when
  /// there is no page, it shows no document yet, or it does not answer
  /// within `answerTimeoutMs`.
  virtual QString documentId(int answerTimeoutMs) = 0;
  /// Whether the page shown is the site's login form (a password box among
  /// its text boxes); a busy page gets `answerTimeoutMs` to answer.
  virtual bool showsLoginForm(int answerTimeoutMs) = 0;
  /// Makes the program's own downloads from the site carry the browser's
  /// session on it (its cookies reach the HTTP engine's jar, and the
  /// page's pending work is handled first).
  virtual void shareSessionWithDownloads() = 0;
};

/// A page that is not there: every action does nothing, no text is found
/// (and no answer came), the site reads as usable; nothing loads, no error
/// page and no login form is shown, and there is no document.
std::unique_ptr<SitePage> noSitePage();

}  // namespace quillet
