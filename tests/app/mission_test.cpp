// The whole program against the demo share site, through its own window:
// start-up, sign-in with the captcha, import, one pass, re-send.
#include <sys/stat.h>

#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <functional>
#include <map>
#include <memory>

#include "app/application.h"
#include "app/balloon_tip.h"
#include "app/clickable_label.h"
#include "app/main_window.h"
#include "browser/browser_control.h"
#include "config/app_config.h"
#include "demo/demo_site.h"
#include "share/address_list_model.h"
#include "tests/doubles/recording_dialogs.h"
#include "share/share_engine.h"
#include "app/login_flow.h"
#include "tests/share/share_harness.h"

using namespace quillet;

namespace {

constexpr char kCaptcha[] = "7139";
constexpr int kFailingItem = 502;

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace

class MissionTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void startUpCreatesAndReadsRememberedFiles();
  void startUpKeepsExistingFilesUnchanged();
  void informationLabels();
  void commentListShowsTheProfilesComments();
  void wholeMission();

 private:
  // `beforeStart` sees the application once its window exists, before start-up runs.
  std::unique_ptr<Application> startApplication(
      const QString& dataDir, const std::function<void(Application&)>& beforeStart = {});

  std::unique_ptr<DemoSite> site_;
  RecordingDialogs dialogs_;
};

void MissionTest::initTestCase() {
  DemoOptions options;
  options.fixedCaptcha = kCaptcha;
  options.failItems = {kFailingItem};
  site_ = std::make_unique<DemoSite>(options);
  QVERIFY(site_->start());
}

std::unique_ptr<Application> MissionTest::startApplication(
    const QString& dataDir, const std::function<void(Application&)>& beforeStart) {
  AppConfig config;
  config.siteBase = QString::fromStdString(site_->baseUrl());
  config.dataDir = dataDir;
  auto app = std::make_unique<Application>(config, &dialogs_);
  if (beforeStart) beforeStart(*app);
  app->onMainWindowCreated();
  return app;
}

// 列表框1 lists the comments of the profile in force, whatever their number.
void MissionTest::commentListShowsTheProfilesComments() {
  QTemporaryDir data;
  QVERIFY(data.isValid());
  AppConfig config;
  config.siteBase = QString::fromStdString(site_->baseUrl());
  config.dataDir = data.path();
  QStringList texts;
  for (int i = 1; i <= 1000; ++i) texts << QStringLiteral("第%1条评论").arg(i);
  config.profile.comments = texts;
  Application app(config, &dialogs_);
  QListWidget* list = app.window().commentPool;
  QCOMPARE(list->count(), 1000);
  QCOMPARE(list->item(0)->text(), texts.front());
  QCOMPARE(list->item(999)->text(), texts.back());
}

void MissionTest::startUpCreatesAndReadsRememberedFiles() {
  QTemporaryDir data;
  QVERIFY(data.isValid());
  // Every load the browser reports: its address and how it ended.
  QStringList loads;
  auto app = startApplication(data.path(), [&loads](Application& started) {
    QObject::connect(started.window().browser->page(), &QWebEnginePage::loadingChanged,
                     [&loads](const QWebEngineLoadingInfo& info) {
                       if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
                       const bool ok = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
                       loads << info.url().path() + (ok ? QString() : QStringLiteral(" (cut)"));
                     });
  });
  MainWindow& w = app->window();
  QVERIFY(w.isVisible());  // shown by the loading window's last tick

  const QString user = data.filePath(QStringLiteral("user.txt"));
  const QString password = data.filePath(QStringLiteral("password.txt"));
  QVERIFY(QFile::exists(user));
  QVERIFY(QFile::exists(password));
  QCOMPARE(QFileInfo(user).size(), 0);
  QCOMPARE(QFileInfo(password).size(), 0);
  struct stat info {};
  QCOMPARE(::stat(QFile::encodeName(password).constData(), &info), 0);
  QCOMPARE(info.st_mode & 0777, 0600u);  // the password stays the owner's
  QVERIFY(w.userName->text().isEmpty());
  QVERIFY(w.password->text().isEmpty());
  QVERIFY(!w.remember->isChecked());
  QCOMPARE(app->shareEngine().currentRow(), 0);
  QCOMPARE(app->shareEngine().failedCount(), 0);

  // Start-up ends on the site's login page.
  QTRY_VERIFY_WITH_TIMEOUT(!w.browser->isLoading(), 20000);
  QCOMPARE(w.browser->url().path(), QStringLiteral("/logon"));
  // Signed out first, and that page finished loading before the login page
  // was asked for: a navigation cut short by the next leaves no entry.
  QStringList visited;
  for (const QWebEngineHistoryItem& item : w.browser->history()->items())
    visited << item.originalUrl().path();
  QCOMPARE(visited, (QStringList{QStringLiteral("/users/logout"), QStringLiteral("/logon")}));
  // Each wait let its page finish: no load was cut short by the next one,
  // and the sign-out page loaded once more after the loading window.
  QCOMPARE(loads, (QStringList{QStringLiteral("/users/logout"), QStringLiteral("/users/logout"),
                               QStringLiteral("/logon")}));
}

void MissionTest::startUpKeepsExistingFilesUnchanged() {
  QTemporaryDir data;
  QVERIFY(data.isValid());
  // "张三" in GBK, with a trailing line break that must reach the field.
  const QByteArray user("\xd5\xc5\xc8\xfd\n", 5);
  const QByteArray password("p@ss w0rd");
  QVERIFY(writeFile(data.filePath(QStringLiteral("user.txt")), user));
  QVERIFY(writeFile(data.filePath(QStringLiteral("password.txt")), password));

  auto app = startApplication(data.path());
  MainWindow& w = app->window();
  QCOMPARE(w.userName->text(), QStringLiteral("张三\n"));
  QCOMPARE(w.password->text(), QStringLiteral("p@ss w0rd"));
  QVERIFY(w.remember->isChecked());  // a remembered account stays remembered
  QCOMPARE(fileBytes(data.filePath(QStringLiteral("user.txt"))), user);
  QCOMPARE(fileBytes(data.filePath(QStringLiteral("password.txt"))), password);
}

/// Receives the addresses that the program hands to the desktop's browser.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public Q_SLOTS:
  void open(const QUrl& url) { opened << url; }
};

void MissionTest::informationLabels() {
  QTemporaryDir data;
  QVERIFY(data.isValid());
  auto app = startApplication(data.path());
  MainWindow& w = app->window();
  w.tabs->setTabEnabled(1, true);
  w.tabs->setCurrentIndex(1);

  // 联系作者 pops the contact links up where the mouse is.
  QVERIFY(!w.balloon->isVisible());
  QTest::mousePress(w.contactLabel, Qt::LeftButton);
  QVERIFY(w.balloon->isVisible());
  const QString html = w.balloon->html();
  for (const char* text : {"给我邮件", "Q     我", "旺    我", "我的博客"})
    QVERIFY2(html.contains(QString::fromUtf8(text)), text);
  QCOMPARE(html.count(QStringLiteral("<br><br>")), 3);
  auto* shown = w.balloon->findChild<QLabel*>();
  QVERIFY(shown != nullptr && shown->openExternalLinks());
  w.balloon->hide();

  // 检查更新 hands the update page to the desktop; a right press does nothing.
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
  QTest::mousePress(w.updateLabel, Qt::RightButton);
  QVERIFY(catcher.opened.isEmpty());
  QTest::mousePress(w.updateLabel, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  QCOMPARE(catcher.opened.size(), 1);
  QVERIFY(catcher.opened.first().isValid());
  QVERIFY(html.contains(catcher.opened.first().toString()));  // the blog's page

  // Pressing the captcha picture fetches nothing: it keeps the picture that
  // start-up loaded (a fetch would draw new noise around the same text).
  QVERIFY(!w.captchaPicture->pixmap().isNull());
  const QImage before = w.captchaPicture->pixmap().toImage();
  QTest::mousePress(w.captchaPicture, Qt::LeftButton);
  QTest::qWait(200);
  QCOMPARE(w.captchaPicture->pixmap().toImage(), before);
}

void MissionTest::wholeMission() {
  QTemporaryDir data;
  QVERIFY(data.isValid());
  site_->clearShares();
  auto app = startApplication(data.path());
  MainWindow& w = app->window();
  QTRY_VERIFY_WITH_TIMEOUT(!w.browser->isLoading(), 20000);
  // The captcha picture is there before the first press of 登录.
  QVERIFY(!w.captchaPicture->pixmap().isNull());

  // A wrong password first: the fields empty, a new captcha picture.
  w.userName->setText(QStringLiteral("demo"));
  w.password->setText(QStringLiteral("not-the-password"));
  w.captcha->setText(QString::fromLatin1(kCaptcha));
  QTest::mouseClick(w.loginButton, Qt::LeftButton);
  QCOMPARE(w.loginHint->text(), QStringLiteral("用户名或密码错误"));
  QVERIFY(w.userName->text().isEmpty());
  QVERIFY(w.password->text().isEmpty());
  QVERIFY(!w.tabs->isTabEnabled(1));
  QVERIFY(!w.captchaPicture->pixmap().isNull());

  // Then the right account, remembered.
  QTRY_VERIFY_WITH_TIMEOUT(!w.browser->isLoading(), 20000);
  w.userName->setText(QStringLiteral("demo"));
  w.password->setText(QStringLiteral("demo123"));
  w.captcha->setText(QString::fromLatin1(kCaptcha));
  w.remember->setChecked(true);
  QTest::mouseClick(w.loginButton, Qt::LeftButton);
  QCOMPARE(w.loginHint->text(), QStringLiteral("登录成功"));
  QVERIFY(w.tabs->isTabEnabled(1));
  QVERIFY(!w.tabs->isTabEnabled(0));
  QCOMPARE(w.tabs->currentIndex(), 1);
  QCOMPARE(fileBytes(data.filePath(QStringLiteral("user.txt"))), QByteArray("demo"));
  QCOMPARE(fileBytes(data.filePath(QStringLiteral("password.txt"))), QByteArray("demo123"));

  // Import: good items, one that the site will fail, and a wrong address.
  const QString good1 = QString::fromStdString(site_->itemUrl(11));
  const QString good2 = QString::fromStdString(site_->itemUrl(12));
  const QString failing = QString::fromStdString(site_->itemUrl(kFailingItem));
  const QString wrong = QString::fromStdString(site_->baseUrl()) + QStringLiteral("/goods/1");
  const QString list = data.filePath(QStringLiteral("addresses.txt"));
  // A blank line between them is no address: left out, and counted.
  QVERIFY(writeFile(
      list, (QStringList{good1, failing, QString(), wrong, good2}.join(u'\n') + u'\n').toUtf8()));
  dialogs_.setNextFileName(list);
  QTest::mouseClick(w.importButton, Qt::LeftButton);
  QCOMPARE(w.statusParts[2]->text(), QStringLiteral("已导入4个地址（跳过1个空行）"));
  AddressListModel& rows = *w.addressList;
  QCOMPARE(rows.cell(0), good2);  // the file lands reversed, on top
  QCOMPARE(rows.cell(3), good1);

  // One pass.
  w.period->setText(QStringLiteral("21"));
  w.addComment->setChecked(true);
  QSignalSpy ended(&app->shareEngine(), &ShareEngine::runEnded);
  QTest::mouseClick(w.publishButton, Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= 1, 120000);
  QCOMPARE(w.statusParts[1]->text(), QStringLiteral("发布完毕"));

  std::map<QString, QString> status;
  for (int row = 0; row < rows.rowCountInt(); ++row) status[rows.cell(row)] = rows.cell(row, 1);
  QCOMPARE(status[good1], QStringLiteral("成功"));
  QCOMPARE(status[good2], QStringLiteral("成功"));
  QCOMPARE(status[failing], QStringLiteral("失败"));
  QCOMPARE(status[wrong], QStringLiteral("地址错误"));
  QCOMPARE(w.failedList->count(), 1);
  QCOMPARE(w.failedList->item(0)->text(), failing);

  // The site's own record agrees: each good item shared once, in the signed-in account.
  std::vector<ShareRecord> shares = site_->shares();
  QCOMPARE(int(shares.size()), 3);
  for (const ShareRecord& share : shares) {
    QCOMPARE(QString::fromStdString(share.account), QStringLiteral("demo"));
    QCOMPARE(share.ok, share.item != kFailingItem);
    // The comment: one of the pool's texts followed by a number from 0 to 9999.
    const QString comment = QString::fromStdString(share.comment);
    bool fromPool = false;
    for (int i = 0; i < w.commentPool->count(); ++i) {
      const QString text = w.commentPool->item(i)->text();
      bool isNumber = false;
      const int number = comment.mid(text.size()).toInt(&isNumber);
      fromPool |= comment.startsWith(text) && isNumber && number >= 0 && number <= 9999;
    }
    QVERIFY2(fromPool, qPrintable(comment));
    if (share.ok) {
      for (int row = 0; row < rows.rowCountInt(); ++row)
        if (rows.cell(row) == QString::fromStdString(share.address)) {
          QVERIFY2(writtenJustAfter(rows.cell(row, 2), share.time),
                   qPrintable(rows.cell(row, 2) + QStringLiteral(" / ") +
                              QString::fromStdString(share.time)));
        }
    }
  }

  // Re-send: the failed address alone, shared again (it fails again here).
  ended.clear();
  QTest::mouseClick(w.resendButton, Qt::LeftButton);
  QCOMPARE(rows.rowCountInt(), 1);
  QCOMPARE(rows.cell(0), failing);
  QCOMPARE(w.statusParts[2]->text(), QStringLiteral("已导入1个地址"));
  QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= 1, 60000);
  QCOMPARE(rows.cell(0, 1), QStringLiteral("失败"));
  QCOMPARE(int(site_->shares().size()), 4);
  QCOMPARE(site_->shares().back().item, kFailingItem);
  QCOMPARE(w.failedList->count(), 1);  // still listed once
}

QTEST_MAIN(MissionTest)
#include "mission_test.moc"
