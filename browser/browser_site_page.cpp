#include "browser/browser_site_page.h"

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWidget>

#include "browser/browser_control.h"
#include "browser/cookie_bridge.h"
#include "browser/document_ref.h"
#include "browser/indexed_page.h"
#include "browser/keyed_page.h"
#include "browser/script_runner.h"

namespace quillet {

namespace {

// The ordinary wait of the page objects is the one the page interface names.
static_assert(kScriptTimeoutMs == kPageAnswerTimeoutMs);

// How long a download waits for the browser's cookie store to report what it
// holds. Real time: the engine's own pace, not a designed wait.
constexpr int kCookieCatchUpLimitMs = 3000;

class BrowserSitePage : public SitePage {
 public:
  explicit BrowserSitePage(QWidget* window) : window_(window) {}

  void navigate(const QString& url) override {
    if (BrowserControl* browser = browserControlOf(window_)) browser->navigate(url);
  }
  void waitUntilLoaded(int limitMs) override {
    IndexedPage page;
    page.waitUntilComplete(window_, limitMs);
  }
  void clickLink(int position) override {
    IndexedPage page;
    page.attach(window_);
    page.clickLink(position);
  }
  void clickLinkByKey(const QString& key, int mode, bool exact) override {
    KeyedPage page;
    page.attach(window_);
    page.clickLinkByKey(key, mode, exact);
  }
  void setTextBoxValue(int position, const QString& value) override {
    IndexedPage page;
    page.attach(window_);
    page.setTextBoxValue(position, value);
  }
  void clickButton(int position) override {
    IndexedPage page;
    page.attach(window_);
    page.clickButton(position);
  }
  void setValueByKey(const QString& key, int mode, const QString& value) override {
    KeyedPage page;
    page.attach(window_);
    page.setValueByKey(key, mode, value);
  }
  bool highlightText(const QString& text, int answerTimeoutMs, bool* answered) override {
    IndexedPage page;
    page.setAnswerTimeout(answerTimeoutMs);
    page.attach(window_);
    const bool found = page.highlightText(text);
    if (answered) *answered = page.lastSearchAnswered();
    return found;
  }
  SiteState siteState() override {
    if (showsErrorPage()) return SiteState::Down;
    return showsLoginForm(kScriptTimeoutMs) ? SiteState::SignedOut : SiteState::Usable;
  }
  bool isLoading() override {
    const BrowserControl* browser = browserControlOf(window_);
    return browser != nullptr && browser->isLoading();
  }
  bool showsErrorPage() override {
    const BrowserControl* browser = browserControlOf(window_);
    return browser != nullptr && browser->showsErrorPage();
  }
  QString documentId(int answerTimeoutMs) override {
    // A document's token is unique in the process, so it names the document
    // across pages too.
    DocumentRef document;
    documentFromWindow(window_, document, answerTimeoutMs);
    return document.token();
  }
  bool showsLoginForm(int answerTimeoutMs) override {
    IndexedPage page;
    page.setAnswerTimeout(answerTimeoutMs);
    return page.attach(window_) && quillet::showsLoginForm(page);
  }
  void shareSessionWithDownloads() override {
    // The captcha refresh has always reached the window's document first;
    // what it answers is not used.
    DocumentRef shown;
    documentFromWindow(window_, shown);
    BrowserControl* browser = browserControlOf(window_);
    if (browser == nullptr || browser->page() == nullptr) return;
    // The store reports its cookies late: without this a download right
    // after a sign-in would carry the session from before it, and a site
    // that answers such a request with a new session would sign the browser
    // out through the bridge.
    if (CookieBridge* bridge = CookieBridge::ensureFor(browser->page()->profile()))
      bridge->catchUp(kCookieCatchUpLimitMs);
  }

 private:
  // The window may be torn down while a pass still waits.
  QPointer<QWidget> window_;
};

}  // namespace

bool showsLoginForm(const IndexedPage& page) {
  const QString textBoxes = QStringLiteral("textBoxes");
  const int count = page.count(textBoxes);
  for (int i = 1; i <= count; ++i) {
    if (page.elementProperty(textBoxes, i, QStringLiteral("type"))
            .compare(QLatin1String("password"), Qt::CaseInsensitive) == 0) {
      return true;
    }
  }
  return false;
}

std::unique_ptr<SitePage> browserSitePage(QWidget* browserWindow) {
  return std::make_unique<BrowserSitePage>(browserWindow);
}

}  // namespace quillet
