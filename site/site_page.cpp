#include "site/site_page.h"

namespace quillet {

SitePage::~SitePage() = default;

namespace {

class NoSitePage : public SitePage {
 public:
  void navigate(const QString&) override {}
  void waitUntilLoaded(int) override {}
  void clickLink(int) override {}
  void clickLinkByKey(const QString&, int, bool) override {}
  void setTextBoxValue(int, const QString&) override {}
  void clickButton(int) override {}
  void setValueByKey(const QString&, int, const QString&) override {}
  bool highlightText(const QString&, int, bool* answered) override {
    if (answered) *answered = false;
    return false;
  }
  SiteState siteState() override { return SiteState::Usable; }
  bool isLoading() override { return false; }
  bool showsErrorPage() override { return false; }
  QString documentId(int) override { return {}; }
  bool showsLoginForm(int) override { return false; }
  void shareSessionWithDownloads() override {}
};

}  // namespace

std::unique_ptr<SitePage> noSitePage() {
  return std::make_unique<NoSitePage>();
}

}  // namespace quillet
