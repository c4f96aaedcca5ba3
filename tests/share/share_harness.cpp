#include "share_harness.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEngineProfile>

#include "app/share_messages.h"
#include "browser/browser_site_page.h"
#include "browser/indexed_page.h"

namespace quillet {
bool pageShows(BrowserControl* browser, const QString& text) {
  IndexedPage page;
  return page.attach(browser) && page.highlightText(text);
}

ShareHarness::ShareHarness(DemoOptions options, SiteProfile siteProfile)
    : profile(new QWebEngineProfile(QCoreApplication::instance())),
      period(new QLineEdit(QStringLiteral("21"), &window)),
      loop(new QCheckBox(QStringLiteral("循环分享"), &window)),
      addComment(new QCheckBox(QStringLiteral("为商品添加随机评论（可不选择）"), &window)),
      commentPool(new QListWidget(&window)),
      failed(new QListWidget(&window)),
      progress(new QLabel(&window)),
      imported(new QLabel(&window)),
      browser(new BrowserControl(&window, profile)),
      settings(period, loop, addComment, commentPool),
      site_(std::make_unique<DemoSite>(withCaptcha(std::move(options)))) {
  auto* layout = new QVBoxLayout(&window);
  for (QWidget* widget : std::initializer_list<QWidget*>{period, loop, addComment, commentPool,
                                                         failed, progress, imported, browser}) {
    layout->addWidget(widget);
  }
  commentPool->addItems(siteProfile.comments);
  window.resize(900, 700);
  site_->start();

  siteProfile.siteBase = siteBase();
  page = browserSitePage(&window);
  engine = std::make_unique<ShareEngine>(list, settings, page.get(), siteProfile);
  // The same bindings as the window's.
  showMessages();
  QObject::connect(engine.get(), &ShareEngine::progressText, progress, &QLabel::setText);
  QObject::connect(engine.get(), &ShareEngine::importedText, imported, &QLabel::setText);
  QObject::connect(engine.get(), &ShareEngine::commentChosen, commentPool,
                   qOverload<int>(&QListWidget::setCurrentRow));
  FailedAddresses& entries = engine->failedAddresses();
  QObject::connect(&entries, &FailedAddresses::changed, failed, [this, &entries] {
    failed->clear();
    failed->addItems(entries.addresses());
  });
}

ShareHarness::~ShareHarness() {
  engine.reset();
  delete browser;  // before the site goes, so that no load is left hanging on it
  delete profile;  // after the only page on it
  if (site_) site_->stop();
}

DemoOptions ShareHarness::withCaptcha(DemoOptions options) const {
  options.fixedCaptcha = kCaptcha;
  return options;
}

QString ShareHarness::siteBase() const {
  return QString::fromStdString(site_->baseUrl());
}

QString ShareHarness::itemAddress(int id) const {
  return QString::fromStdString(site_->itemUrl(id));
}

bool ShareHarness::signIn() {
  browser->navigate(siteBase() + QStringLiteral("/logon"));
  {
    IndexedPage page;
    page.waitUntilComplete(browser, 10000);
    if (!page.attach(browser)) return false;
    page.setTextBoxValue(2, QString::fromStdString(site_->accounts().front().user));
    page.setTextBoxValue(3, QString::fromStdString(site_->accounts().front().password));
    page.setTextBoxValue(4, QString::fromLatin1(kCaptcha));
    page.clickButton(2);
  }
  return QTest::qWaitFor([this] { return pageShows(browser, QStringLiteral("你好")); }, 15000);
}

bool ShareHarness::restartSite(DemoOptions options) {
  const int port = site_->port();
  const std::vector<ShareRecord> old = site_->shares();
  earlierShares_.insert(earlierShares_.end(), old.begin(), old.end());
  site_->stop();
  site_ = std::make_unique<DemoSite>(withCaptcha(std::move(options)));
  return site_->start("127.0.0.1", port);
}

std::vector<ShareRecord> ShareHarness::shares() const {
  std::vector<ShareRecord> all = earlierShares_;
  const std::vector<ShareRecord> now = site_->shares();
  all.insert(all.end(), now.begin(), now.end());
  return all;
}

QStringList ShareHarness::rows(int column) const {
  QStringList out;
  for (int row = 0; row < list.rowCountInt(); ++row) out << list.cell(row, column);
  return out;
}

QStringList ShareHarness::failedEntries() const {
  QStringList out;
  for (int i = 0; i < failed->count(); ++i) out << failed->item(i)->text();
  // The box shows exactly the engine's list.
  if (out != engine->failedAddresses().addresses()) out << QStringLiteral("<box out of step>");
  return out;
}

void ShareHarness::showMessages() {
  showShareMessages(*engine, dialogs);
}

void ShareHarness::resend() {
  engine->resend(askBeforeResend(dialogs));
}

ImportResult ShareHarness::importFromDialog() {
  return importThroughDialog(*engine, dialogs);
}

void ShareHarness::setRows(const QStringList& addresses) {
  list.clear();
  list.insertRows(0, addresses);
}

bool writtenJustAfter(const QString& rowTime, const std::string& siteTime) {
  const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
  const QDateTime row = QDateTime::fromString(rowTime, format);
  const QDateTime site = QDateTime::fromString(QString::fromStdString(siteTime), format);
  if (!row.isValid() || !site.isValid()) return false;
  const qint64 lag = site.secsTo(row);
  return lag >= 0 && lag <= 5;
}

}  // namespace quillet
