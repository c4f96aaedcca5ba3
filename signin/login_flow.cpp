#include "signin/login_flow.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "browser/browser_control.h"
#include "browser/indexed_page.h"
#include "browser/script_runner.h"
#include "browser/window_document.h"
#include "net/fetch_with_timeout.h"
#include "signin/cookie_bridge.h"
#include "signin/fetch_image.h"
#include "signin/fetch_wait_pump.h"
#include "signin/remembered_account.h"
#include "site/pump_wait.h"

namespace quillet {
namespace {

// How long the site gets to answer a submitted login form.
constexpr std::int32_t kAnswerWaitMicros = 2'000'000;
// When the answer is still on its way after that wait, how much longer it
// may take to arrive before the attempt counts as unanswered. A network
// limit, so it does not follow the time scale.
constexpr int kPendingAnswerLimitMs = 10'000;

bool browserIsLoading(QWidget* window) {
  const BrowserControl* browser = browserControlOf(window);
  return browser != nullptr && browser->isLoading();
}

// The engine's own error page (site unreachable, connection refused or
// dropped) names neither outcome, yet says nothing about a sign-in.
bool browserShowsErrorPage(QWidget* window) {
  const BrowserControl* browser = browserControlOf(window);
  return browser != nullptr && browser->showsErrorPage();
}

// A page that still has a password box among its text boxes is a login form:
// whatever the submit did, it did not sign in.
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

}  // namespace

QString LoginFlow::wrongAccountText() {
  return QStringLiteral("用户名或密码错误");
}
QString LoginFlow::wrongCaptchaText() {
  return QStringLiteral("验证码错误");
}
QString LoginFlow::successText() {
  return QStringLiteral("登录成功");
}
QString LoginFlow::unreachableText() {
  return QStringLiteral("无法连接到网站，请稍后重试");
}
QString LoginFlow::noAnswerText() {
  return QStringLiteral("网站没有及时响应，请重试");
}
QString LoginFlow::notSignedInText() {
  return QStringLiteral("登录没有成功，请重试");
}

LoginFlow::LoginFlow(LoginControls controls, SiteProfile profile, RememberedAccount& account,
                     QObject* parent)
    : QObject(parent),
      userName_(controls.userName),
      password_(controls.password),
      captcha_(controls.captcha),
      captchaPicture_(controls.captchaPicture),
      remember_(controls.remember),
      hint_(controls.hint),
      tabs_(controls.tabs),
      browserWindow_(controls.browserWindow),
      profile_(std::move(profile)),
      account_(account) {
  // The captcha download waits on this thread; keep the window alive
  // meanwhile.
  setFetchWaitPump(QtFetchWaitPump());
}

void LoginFlow::OnLoginClicked() {
  IndexedPage page;
  if (!page.Attach(browserWindow_.data())) {
    // No page to fill: nothing was submitted, so nothing can have succeeded.
    checkResult(nullptr);
    return;
  }
  page.SetTextBoxValue(profile_.userNameBox, userName_ ? userName_->text() : QString());
  page.SetTextBoxValue(profile_.passwordBox, password_ ? password_->text() : QString());
  page.SetTextBoxValue(profile_.captchaBox, captcha_ ? captcha_->text() : QString());
  page.ClickButton(profile_.loginButton);
  const DocumentRef submittedOn = page.document();
  PumpWait(kAnswerWaitMicros);
  // Reading the page while the answer is still loading would read the login
  // form itself, which names no error and would pass for a success.
  if (browserIsLoading(browserWindow_.data())) {
    IndexedPage waiter;
    waiter.WaitUntilComplete(browserWindow_.data(), kPendingAnswerLimitMs);
  }
  checkResult(&submittedOn);
}

void LoginFlow::CheckLoginResult() {
  const DocumentRef nothing;
  checkResult(&nothing);
}

void LoginFlow::checkResult(const DocumentRef* submittedOn) {
  // A page kept busy by its own scripts answers late; its late answer is
  // still the outcome, not an absent notice.
  IndexedPage page;
  page.setAnswerTimeout(kOutcomeAnswerTimeoutMs);
  if (submittedOn == nullptr || !page.Attach(browserWindow_.data()) ||
      browserShowsErrorPage(browserWindow_.data())) {
    reportNotSignedIn(unreachableText());
  } else if (!submittedOn->isNull() && page.document() == *submittedOn &&
             browserIsLoading(browserWindow_.data())) {
    // The form was sent but no answer has arrived: the page shown is the
    // login form itself, which says nothing about the outcome.
    reportNotSignedIn(noAnswerText());
  } else if (page.HighlightText(profile_.loginWrongAccountMark)) {
    if (hint_) hint_->setText(wrongAccountText());
    if (userName_) userName_->clear();
    if (password_) password_->clear();
  } else if (page.HighlightText(profile_.loginCaptchaMark)) {
    if (hint_) hint_->setText(wrongCaptchaText());
    if (captcha_) captcha_->clear();
  } else if (showsLoginForm(page)) {
    // The submit changed nothing the site would say: the form is still
    // there, so the attempt did not sign in.
    reportNotSignedIn(notSignedInText());
  } else {
    if (remember_ && remember_->isChecked()) {
      account_.store(userName_ ? userName_->text() : QString(),
                     password_ ? password_->text() : QString());
    } else {
      account_.clear();
    }
    if (hint_) hint_->setText(successText());
    if (tabs_) {
      tabs_->setTabEnabled(kPublishPage, true);
      tabs_->setCurrentIndex(kPublishPage);
      tabs_->setTabEnabled(kLoginPage, false);
    }
  }
  RefreshCaptcha();
}

void LoginFlow::reportNotSignedIn(const QString& text) {
  if (hint_) hint_->setText(text);
}

void LoginFlow::RefreshCaptcha() {
  WindowDocument document;
  document.Attach(browserWindow_.data());
  // The download must carry the browser's session: make sure the browser's
  // cookies reach the HTTP engine's jar.
  if (BrowserControl* browser = browserControlOf(browserWindow_.data())) {
    if (browser->page() != nullptr) CookieBridge::ensureFor(browser->page()->profile());
  }
  std::string address = profile_.captchaUrl().toStdString();
  std::string headers;
  const std::string image = FetchImageAs(address, std::string(), &headers);
  if (!captchaPicture_) return;
  QPixmap picture;
  if (!image.empty() &&
      picture.loadFromData(reinterpret_cast<const uchar*>(image.data()), uint(image.size()))) {
    captchaPicture_->setPixmap(picture);
  } else {
    captchaPicture_->clear();
  }
}

}  // namespace quillet
