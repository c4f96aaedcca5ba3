#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <QWebEngineProfile>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/widget_share_settings.h"
#include "browser/browser_control.h"
#include "demo/demo_site.h"
#include "share/address_list_model.h"
#include "share/share_engine.h"
#include "site/site_page.h"
#include "site/site_profile.h"
#include "tests/doubles/recording_dialogs.h"

namespace quillet {

/// A publish page for tests: the widgets the engine works on, a real browser
/// control on a private profile, the demo share site on a free loopback port,
/// and the engine bound to them.
class ShareHarness {
 public:
  static constexpr const char* kCaptcha = "QW3E";

  /// The engine works with `siteProfile`, its address set to the demo site's.
  explicit ShareHarness(DemoOptions options = {}, SiteProfile siteProfile = {});
  ~ShareHarness();

  bool siteRunning() const { return site_ && site_->isRunning(); }
  /// Signs in through the login form in the browser control, as the login
  /// page does (text boxes 2, 3, 4 and button 2). True once the start page
  /// greets the account.
  bool signIn();
  /// Replaces the running site by a new one with `options` on the same port
  /// (item addresses stay valid); its record starts empty, the old one is kept.
  bool restartSite(DemoOptions options);

  QString itemAddress(int id) const;
  /// Every share the sites recorded, oldest first (earlier sites included).
  std::vector<ShareRecord> shares() const;
  QString siteBase() const;
  const DemoSite& site() const { return *site_; }

  /// The addresses of the list, top to bottom.
  QStringList rows(int column = 0) const;
  QStringList failedEntries() const;
  /// Rows of the list from top to bottom.
  void setRows(const QStringList& addresses);
  /// The engine's messages go to `dialogs`, as the window shows them (again
  /// after `engine` was replaced).
  void showMessages();
  /// "失败重发" and "导入地址" as the window's buttons run them, with
  /// `dialogs` answering the question and the file dialog.
  void resend();
  ImportResult importFromDialog();

  QWebEngineProfile* profile;  // private to this harness: its own cookies
  QWidget window;
  AddressListModel list;
  QLineEdit* period;
  QCheckBox* loop;
  QCheckBox* addComment;
  QListWidget* commentPool;
  QListWidget* failed;  // mirrors the engine's failed-address list
  QLabel* progress;
  QLabel* imported;
  BrowserControl* browser;
  RecordingDialogs dialogs;
  WidgetShareSettings settings;
  std::unique_ptr<SitePage> page;  // the browser's, as the engine works it
  std::unique_ptr<ShareEngine> engine;

 private:
  DemoOptions withCaptcha(DemoOptions options) const;

  std::unique_ptr<DemoSite> site_;
  std::vector<ShareRecord> earlierShares_;
};

/// Whether the page in `browser` shows `text` (marks it, like the steps do).
bool pageShows(BrowserControl* browser, const QString& text);

/// Whether a list row's time ("yyyy-MM-dd HH:mm:ss") fits the site's record of the share: the
/// row is written once the result page has been read, so it is the site's second or a few later.
bool writtenJustAfter(const QString& rowTime, const std::string& siteTime);

}  // namespace quillet
