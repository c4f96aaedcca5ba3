#include "browser/browser_site_page.h"

#include <QPointer>
#include <QWidget>

#include "browser/browser_control.h"
#include "browser/indexed_page.h"
#include "browser/keyed_page.h"

namespace quillet {

namespace {

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
    if (BrowserControl* browser = browserControlOf(window_)) {
      if (browser->showsErrorPage()) return SiteState::Down;
    }
    IndexedPage page;
    if (!page.attach(window_)) return SiteState::Usable;
    return showsLoginForm(page) ? SiteState::SignedOut : SiteState::Usable;
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
