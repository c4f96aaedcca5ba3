#include "app/login_flow.h"

#include <sys/stat.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkCookie>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QtTest>
#include <memory>

#include "browser/browser_control.h"
#include "browser/cookie_bridge.h"
#include "browser/indexed_page.h"
#include "demo/demo_site.h"
#include "signin/remembered_account.h"
#include "site/time_scale.h"
#include "test_servers.h"

using namespace quillet;

namespace {

const QString kUser = QStringLiteral("张三");
const QString kPassword = QStringLiteral("mima 123");
const QByteArray kUserGbk("\xd5\xc5\xc8\xfd");

QByteArray readBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

QImage pictureOf(const QLabel& label) {
  return label.pixmap().toImage();
}

// The sign-in page of the main window, with the hidden browser below a host
// widget, as the program lays it out.
struct Fixture {
  explicit Fixture(const std::string& siteBase, DemoSite* site) : site(site) {
    profile = new QWebEngineProfile(&window);  // off the record
    // The login page shows the captcha itself too, which would open one in
    // the browser's session. Without images the only captcha the session can
    // hold is the one the program downloads: a login with its text then
    // proves that the download went out in the browser's session.
    profile->settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    layout = new QVBoxLayout(&window);
    for (QWidget* w : std::initializer_list<QWidget*>{userName, password, captcha, picture,
                                                      remember, hint, tabs, browserHost}) {
      layout->addWidget(w);
    }
    tabs->addTab(new QWidget, QStringLiteral("登录"));
    tabs->addTab(new QWidget, QStringLiteral("发表"));
    tabs->setTabEnabled(1, false);
    browser = new BrowserControl(browserHost, profile);
    QObject::connect(profile->cookieStore(), &QWebEngineCookieStore::cookieAdded,
                     [this](const QNetworkCookie& cookie) {
                       if (cookie.name() == DemoSite::kSessionCookie) {
                         sessionId = cookie.value().toStdString();
                       }
                     });
    // As the program does at start-up, before the browser loads anything.
    bridge = CookieBridge::ensureFor(profile);
    account = std::make_unique<RememberedAccount>(dir.path());
    account->ensureFiles();
    SiteProfile siteProfile;
    siteProfile.siteBase = QString::fromStdString(siteBase);
    flow = std::make_unique<LoginFlow>(
        LoginControls{userName, password, captcha, picture, remember, hint, tabs, browserHost},
        siteProfile, *account);
  }
  ~Fixture() {
    flow.reset();
    delete browser;  // the engine wants every page gone before its profile
    delete profile;
  }

  bool open(const std::string& base) {
    for (const char* path : {"/users/logout", "/logon"}) {
      QSignalSpy finished(browser, &QWebEngineView::loadFinished);
      browser->navigate(QString::fromStdString(base + path));
      if (!finished.wait(30000)) return false;
    }
    return true;
  }

  void fill(const QString& user, const QString& pass, const QString& code) {
    userName->setText(user);
    password->setText(pass);
    captcha->setText(code);
  }

  // The captcha the site expects from the browser's session now.
  QString expectedCaptcha() const {
    const auto text = site->sessionCaptcha(sessionId);
    return text ? QString::fromStdString(*text) : QString();
  }

  bool tabsUntouched() const {
    return tabs->isTabEnabled(0) && !tabs->isTabEnabled(1) && tabs->currentIndex() == 0;
  }

  QTemporaryDir dir;
  DemoSite* site;
  QWidget window;
  QVBoxLayout* layout;
  QLineEdit* userName = new QLineEdit;
  QLineEdit* password = new QLineEdit;
  QLineEdit* captcha = new QLineEdit;
  QLabel* picture = new QLabel;
  QCheckBox* remember = new QCheckBox;
  QLabel* hint = new QLabel;
  QTabWidget* tabs = new QTabWidget;
  QWidget* browserHost = new QWidget;
  QWebEngineProfile* profile;
  BrowserControl* browser;
  CookieBridge* bridge = nullptr;  // a child of the profile
  std::unique_ptr<RememberedAccount> account;
  std::unique_ptr<LoginFlow> flow;
  std::string sessionId;
};

DemoOptions demoOptions() {
  DemoOptions options;
  options.accounts = {{"张三", "mima 123"}};
  return options;
}

}  // namespace

class LoginFlowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<DemoSite> site_;
  std::unique_ptr<Fixture> f_;

  // A first attempt without a captcha, which the site answers by asking for
  // one; it leaves the session's captcha in the picture box.
  void attemptWithoutCaptcha() {
    f_->fill(kUser, kPassword, QStringLiteral("   "));
    f_->flow->onLoginClicked();
    QCOMPARE(f_->hint->text(), QStringLiteral("验证码错误"));
  }

 private Q_SLOTS:
  void init() {
    site_ = std::make_unique<DemoSite>(demoOptions());
    QVERIFY(site_->start());
    f_ = std::make_unique<Fixture>(site_->baseUrl(), site_.get());
    QVERIFY(f_->open(site_->baseUrl()));
    writeBytes(f_->account->userFilePath(), "old user");
    writeBytes(f_->account->passwordFilePath(), "old password");
  }

  void cleanup() {
    f_.reset();
    site_.reset();
  }

  // The picture shown after an attempt is the captcha of the browser's own
  // session: typing its text signs in. A missing captcha empties only the
  // captcha field; a success opens the publish page and stores the account
  // exactly, or empties the files when the user did not ask to remember it.
  void theSessionsCaptchaSignsIn_data() {
    QTest::addColumn<bool>("remember");
    QTest::newRow("remembered") << true;
    QTest::newRow("not remembered") << false;
  }
  void theSessionsCaptchaSignsIn() {
    QFETCH(bool, remember);
    QVERIFY(f_->picture->pixmap().isNull());  // nothing before the first attempt
    QVERIFY(!f_->sessionId.empty());
    QCOMPARE(f_->expectedCaptcha(), QString());  // the browser opened no captcha itself
    attemptWithoutCaptcha();
    QCOMPARE(f_->userName->text(), kUser);
    QCOMPARE(f_->password->text(), kPassword);
    QCOMPARE(f_->captcha->text(), QString());
    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
    const QImage firstPicture = pictureOf(*f_->picture);
    QCOMPARE(firstPicture.size(), QSize(80, 24));

    const QString code = f_->expectedCaptcha();
    QVERIFY2(!code.isEmpty(), "the browser's session has no captcha open");

    // Page 0 must still be enabled when page 1 becomes current.
    QList<bool> loginPageEnabledWhenSwitched;
    connect(f_->tabs, &QTabWidget::currentChanged, this, [&](int index) {
      if (index == 1) loginPageEnabledWhenSwitched << f_->tabs->isTabEnabled(0);
    });
    f_->remember->setChecked(remember);
    f_->captcha->setText(code);
    f_->flow->onLoginClicked();

    QCOMPARE(f_->hint->text(), QStringLiteral("登录成功"));
    QVERIFY(f_->tabs->isTabEnabled(1));
    QCOMPARE(f_->tabs->currentIndex(), 1);
    QVERIFY(!f_->tabs->isTabEnabled(0));
    QCOMPARE(loginPageEnabledWhenSwitched, QList<bool>{true});
    QCOMPARE(site_->sessionUser(f_->sessionId).value_or("<none>"), std::string("张三"));
    if (remember) {
      QCOMPARE(readBytes(f_->account->userFilePath()), kUserGbk);
      QCOMPARE(readBytes(f_->account->passwordFilePath()), kPassword.toLatin1());
      struct stat info {};
      QCOMPARE(::stat(QFile::encodeName(f_->account->passwordFilePath()).constData(), &info), 0);
      QCOMPARE(int(info.st_mode & 0777), 0600);
    } else {
      QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray());
      QCOMPARE(readBytes(f_->account->passwordFilePath()), QByteArray());
    }
    // The fields keep their texts on success, and a new picture is shown.
    QCOMPARE(f_->userName->text(), kUser);
    QVERIFY(!f_->picture->pixmap().isNull());
    QVERIFY(pictureOf(*f_->picture) != firstPicture);
  }

  // A wrong account empties the user name and password and keeps the captcha
  // field; a wrong captcha, whose notice "验证码错误" also says "错误", is a
  // captcha error: it keeps the user name and password and empties only the
  // captcha. Nothing is stored and every attempt brings a different picture.
  void wrongAccountEmptiesTheAccountWrongCaptchaOnlyTheCaptcha() {
    QImage previous(80, 24, QImage::Format_RGB32);
    previous.fill(Qt::red);
    f_->picture->setPixmap(QPixmap::fromImage(previous));
    previous = pictureOf(*f_->picture);

    f_->remember->setChecked(true);
    f_->fill(kUser, QStringLiteral("wrong"), QStringLiteral("1234"));
    f_->flow->onLoginClicked();
    QCOMPARE(f_->hint->text(), QStringLiteral("用户名或密码错误"));
    QCOMPARE(f_->userName->text(), QString());
    QCOMPARE(f_->password->text(), QString());
    QCOMPARE(f_->captcha->text(), QStringLiteral("1234"));
    QVERIFY(!f_->picture->pixmap().isNull());
    QVERIFY(pictureOf(*f_->picture) != previous);
    previous = pictureOf(*f_->picture);

    f_->fill(kUser, kPassword, QStringLiteral("wrong captcha"));
    f_->flow->onLoginClicked();
    QCOMPARE(f_->hint->text(), QStringLiteral("验证码错误"));
    QCOMPARE(f_->userName->text(), kUser);
    QCOMPARE(f_->password->text(), kPassword);
    QCOMPARE(f_->captcha->text(), QString());
    QVERIFY(!f_->picture->pixmap().isNull());
    QVERIFY(pictureOf(*f_->picture) != previous);

    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
    QCOMPARE(readBytes(f_->account->passwordFilePath()), QByteArray("old password"));
    QVERIFY(!site_->sessionUser(f_->sessionId).value_or("").size());

    // After the captcha error only the new picture's text is typed.
    f_->captcha->setText(f_->expectedCaptcha());
    f_->flow->onLoginClicked();
    QCOMPARE(f_->hint->text(), QStringLiteral("登录成功"));
    QCOMPARE(site_->sessionUser(f_->sessionId).value_or("<none>"), std::string("张三"));
  }

  // An answer slower than the two-second wait is still read, not mistaken
  // for a success because the login form is still on screen.
  void aSlowAnswerIsStillRead() {
    f_.reset();
    site_.reset();
    DemoOptions slow = demoOptions();
    slow.latencyMinMs = 2500;
    slow.latencyMaxMs = 2500;
    site_ = std::make_unique<DemoSite>(slow);
    QVERIFY(site_->start());
    f_ = std::make_unique<Fixture>(site_->baseUrl(), site_.get());
    QVERIFY(f_->open(site_->baseUrl()));
    writeBytes(f_->account->userFilePath(), "old user");
    f_->remember->setChecked(true);

    f_->fill(kUser, QStringLiteral("wrong"), QStringLiteral("1234"));
    f_->flow->onLoginClicked();
    QCOMPARE(f_->hint->text(), QStringLiteral("用户名或密码错误"));
    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
  }

  // A login button that does nothing leaves the filled-in form on the page
  // with no notice: that is no sign-in. Nothing is stored, the publish page
  // stays closed, and the outcome is read only after the two-second wait
  // (at full length here).
  void anUnchangedLoginFormIsNotASuccess() {
    f_.reset();
    site_.reset();
    DemoOptions inert = demoOptions();
    inert.inertLogin = true;
    site_ = std::make_unique<DemoSite>(inert);
    QVERIFY(site_->start());
    f_ = std::make_unique<Fixture>(site_->baseUrl(), site_.get());
    QVERIFY(f_->open(site_->baseUrl()));
    writeBytes(f_->account->userFilePath(), "old user");
    writeBytes(f_->account->passwordFilePath(), "old password");
    f_->remember->setChecked(true);
    f_->fill(kUser, kPassword, QStringLiteral("1234"));

    const double scale = timeScale();
    setTimeScale(1.0);
    const auto restore = qScopeGuard([scale] { setTimeScale(scale); });
    QElapsedTimer clock;
    clock.start();
    f_->flow->onLoginClicked();
    const qint64 took = clock.elapsed();

    QCOMPARE(f_->hint->text(), QStringLiteral("登录没有成功，请重试"));
    QVERIFY2(took >= 2000, qPrintable(QStringLiteral("read after %1 ms").arg(took)));
    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
    QCOMPARE(readBytes(f_->account->passwordFilePath()), QByteArray("old password"));
    QCOMPARE(f_->userName->text(), kUser);
    QCOMPARE(f_->password->text(), kPassword);
    QVERIFY(site_->sessionUser(f_->sessionId).value_or("").empty());
    // The form was filled in and is still on the page, as the click left it.
    IndexedPage page;
    QVERIFY(page.attach(f_->browser));
    QCOMPARE(page.elementProperty(QStringLiteral("textBoxes"), 2, QStringLiteral("value")), kUser);
    QCOMPARE(f_->browser->url().path(), QStringLiteral("/logon"));
    QVERIFY(!f_->picture->pixmap().isNull());  // a new captcha all the same
  }

  // An attempt with all three fields empty is a wrong account: nothing is
  // stored and the publish page stays closed.
  void anAttemptWithEveryFieldEmpty() {
    f_->remember->setChecked(true);
    f_->fill(QString(), QString(), QString());
    f_->flow->onLoginClicked();
    QCOMPARE(f_->hint->text(), QStringLiteral("用户名或密码错误"));
    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
    QCOMPARE(readBytes(f_->account->passwordFilePath()), QByteArray("old password"));
    QVERIFY(site_->sessionUser(f_->sessionId).value_or("").empty());
    QVERIFY(!f_->picture->pixmap().isNull());
  }

  // A submission the site never answers leaves the login form on screen;
  // that is reported as no answer, not as a success.
  void anUnansweredLoginIsNotASuccess() {
    testing::StallingLoginServer stalling;
    f_.reset();
    f_ = std::make_unique<Fixture>(stalling.base(), site_.get());
    QSignalSpy finished(f_->browser, &QWebEngineView::loadFinished);
    f_->browser->navigate(QString::fromStdString(stalling.base() + "/logon"));
    QVERIFY(finished.wait(30000));
    writeBytes(f_->account->userFilePath(), "old user");
    f_->remember->setChecked(true);
    f_->fill(kUser, kPassword, QStringLiteral("1234"));
    f_->flow->onLoginClicked();

    QCOMPARE(f_->hint->text(), QStringLiteral("网站没有及时响应，请重试"));
    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
    QCOMPARE(f_->userName->text(), kUser);
    QCOMPARE(f_->password->text(), kPassword);
    f_.reset();  // before the server goes
  }

  // A site that cannot be reached leaves the engine's error page in the
  // browser, which names neither outcome: still not a success.
  void anUnreachableSiteIsNotASuccess() {
    const std::string base = site_->baseUrl();
    f_->site = nullptr;
    site_.reset();  // nobody answers on that port any more
    f_->browser->navigate(QString::fromStdString(base + "/logon"));
    QTRY_VERIFY_WITH_TIMEOUT(!f_->browser->isLoading(), 30000);
    QVERIFY(f_->browser->showsErrorPage());
    f_->remember->setChecked(true);
    f_->fill(kUser, kPassword, QStringLiteral("1234"));
    f_->flow->onLoginClicked();

    QCOMPARE(f_->hint->text(), QStringLiteral("无法连接到网站，请稍后重试"));
    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
    QCOMPARE(readBytes(f_->account->passwordFilePath()), QByteArray("old password"));
    QVERIFY(f_->picture->pixmap().isNull());  // nor is there a captcha to show
  }

  // With the captcha address on a server that accepts and never answers, the
  // picture is empty once the ten-second download limit has passed.
  void aSilentCaptchaSiteLeavesThePictureEmpty() {
    testing::SilentServer silent;
    QVERIFY(silent.port() != 0);
    RememberedAccount account(f_->dir.path());
    SiteProfile profile;
    profile.siteBase = QString::fromStdString(silent.base());
    LoginFlow flow(LoginControls{f_->userName, f_->password, f_->captcha, f_->picture, f_->remember,
                                 f_->hint, f_->tabs, f_->browserHost},
                   profile, account);
    QImage placeholder(80, 24, QImage::Format_RGB32);
    placeholder.fill(Qt::blue);
    f_->picture->setPixmap(QPixmap::fromImage(placeholder));

    f_->fill(kUser, QStringLiteral("wrong"), QString());
    flow.onLoginClicked();
    QCOMPARE(f_->hint->text(), QStringLiteral("用户名或密码错误"));  // the page itself answered
    QVERIFY(f_->picture->pixmap().isNull());
  }

  // When no document can be reached, nothing was submitted: the attempt is
  // not a success, nothing is stored, the publish page stays closed, and a
  // captcha is still fetched.
  void anUnreachableDocumentIsNotASuccess_data() {
    QTest::addColumn<bool>("withBrowser");
    QTest::newRow("browser without a page") << true;
    QTest::newRow("no browser at all") << false;
  }
  void anUnreachableDocumentIsNotASuccess() {
    QFETCH(bool, withBrowser);
    QWidget host;
    if (withBrowser) new BrowserControl(&host, f_->profile);
    SiteProfile profile;
    profile.siteBase = QString::fromStdString(site_->baseUrl());
    LoginFlow flow(LoginControls{f_->userName, f_->password, f_->captcha, f_->picture, f_->remember,
                                 f_->hint, f_->tabs, &host},
                   profile, *f_->account);
    f_->remember->setChecked(true);
    f_->fill(kUser, kPassword, QStringLiteral("1234"));
    flow.onLoginClicked();

    QCOMPARE(f_->hint->text(), QStringLiteral("无法连接到网站，请稍后重试"));
    QVERIFY(f_->tabsUntouched());
    QCOMPARE(readBytes(f_->account->userFilePath()), QByteArray("old user"));
    QCOMPARE(readBytes(f_->account->passwordFilePath()), QByteArray("old password"));
    QCOMPARE(f_->userName->text(), kUser);
    QCOMPARE(f_->captcha->text(), QStringLiteral("1234"));
    QCOMPARE(pictureOf(*f_->picture).size(), QSize(80, 24));
  }
};

QTEST_MAIN(LoginFlowTest)
#include "login_flow_test.moc"
