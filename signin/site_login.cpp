#include "signin/site_login.h"

#include <QCoreApplication>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "browser/cookie_bridge.h"
#include "browser/indexed_page.h"
#include "browser/script_runner.h"
#include "browser/window_document.h"
#include "net/fetch_with_timeout.h"
#include "signin/fetch_image.h"
#include "signin/fetch_wait_pump.h"
#include "signin/remembered_account.h"
#include "signin/session_check.h"
#include "signin/session_note.h"
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

}  // namespace

QString SiteLogin::wrongAccountText() {
  return QStringLiteral("用户名或密码错误");
}
QString SiteLogin::wrongCaptchaText() {
  return QStringLiteral("验证码错误");
}
QString SiteLogin::successText() {
  return QStringLiteral("登录成功");
}
QString SiteLogin::unreachableText() {
  return QStringLiteral("无法连接到网站，请稍后重试");
}
QString SiteLogin::noAnswerText() {
  return QStringLiteral("网站没有及时响应，请重试");
}
QString SiteLogin::notSignedInText() {
  return QStringLiteral("登录没有成功，请重试");
}

QString SiteLogin::hintFor(LoginOutcome outcome) {
  switch (outcome) {
    case LoginOutcome::SignedIn:
      return successText();
    case LoginOutcome::WrongAccount:
      return wrongAccountText();
    case LoginOutcome::WrongCaptcha:
      return wrongCaptchaText();
    case LoginOutcome::Unreachable:
      return unreachableText();
    case LoginOutcome::NoAnswer:
      return noAnswerText();
    case LoginOutcome::NotSignedIn:
      return notSignedInText();
  }
  return unreachableText();
}

SiteLogin::SiteLogin(QWidget* browserWindow, SiteProfile profile, RememberedAccount& account)
    : browserWindow_(browserWindow), profile_(std::move(profile)), account_(account) {
  // The captcha download waits on this thread; keep the window alive
  // meanwhile.
  setFetchWaitPump(qtFetchWaitPump());
}

LoginReport SiteLogin::submit(const LoginRequest& request) {
  IndexedPage page;
  if (!page.attach(browserWindow_.data())) {
    // No page to fill: nothing was submitted, so nothing can have succeeded.
    return finish(judge(nullptr), request);
  }
  page.setTextBoxValue(profile_.userNameBox, request.user);
  page.setTextBoxValue(profile_.passwordBox, request.password);
  page.setTextBoxValue(profile_.captchaBox, request.captcha);
  page.clickButton(profile_.loginButton);
  const DocumentRef submittedOn = page.document();
  pumpWait(kAnswerWaitMicros);
  // Reading the page while the answer is still loading would read the login
  // form itself, which names no error and would pass for a success.
  if (browserIsLoading(browserWindow_.data())) {
    IndexedPage waiter;
    waiter.waitUntilComplete(browserWindow_.data(), kPendingAnswerLimitMs);
  }
  return finish(judge(&submittedOn), request);
}

LoginReport SiteLogin::checkShownPage(const LoginRequest& request) {
  const DocumentRef nothing;
  return finish(judge(&nothing), request);
}

LoginOutcome SiteLogin::judge(const DocumentRef* submittedOn) {
  // A page kept busy by its own scripts answers late; its late answer is
  // still the outcome, not an absent notice.
  IndexedPage page;
  page.setAnswerTimeout(kOutcomeAnswerTimeoutMs);
  if (submittedOn == nullptr || !page.attach(browserWindow_.data()) ||
      browserShowsErrorPage(browserWindow_.data())) {
    return LoginOutcome::Unreachable;
  }
  if (!submittedOn->isNull() && page.document() == *submittedOn &&
      browserIsLoading(browserWindow_.data())) {
    // The form was sent but no answer has arrived: the page shown is the
    // login form itself, which says nothing about the outcome.
    return LoginOutcome::NoAnswer;
  }
  // A captcha notice first: "验证码错误" also contains the wrong-account mark
  // "错误", and reading it as a wrong account would empty a good user name
  // and password.
  for (const QString& mark : profile_.captchaMarks()) {
    if (page.highlightText(mark)) return LoginOutcome::WrongCaptcha;
  }
  if (page.highlightText(profile_.loginWrongAccountMark)) return LoginOutcome::WrongAccount;
  // The submit changed nothing the site would say: the form is still there,
  // so the attempt did not sign in.
  if (showsLoginForm(page)) return LoginOutcome::NotSignedIn;
  return LoginOutcome::SignedIn;
}

LoginReport SiteLogin::finish(LoginOutcome outcome, const LoginRequest& request) {
  // What the site answered says what the kept session is now; no answer says nothing.
  if (outcome != LoginOutcome::Unreachable && outcome != LoginOutcome::NoAnswer)
    noteSession(outcome == LoginOutcome::SignedIn, request.user);
  if (outcome == LoginOutcome::SignedIn) {
    if (request.remember == RememberChoice::Store) {
      account_.store(request.user, request.password);
    } else if (request.remember == RememberChoice::Forget) {
      account_.clear();
    }
  }
  LoginReport report;
  report.outcome = outcome;
  report.hint = hintFor(outcome);
  report.captchaPicture = downloadCaptcha();
  return report;
}

QByteArray SiteLogin::downloadCaptcha() {
  WindowDocument document;
  document.attach(browserWindow_.data());
  // The download must carry the browser's session: make sure the browser's
  // cookies reach the HTTP engine's jar.
  if (BrowserControl* browser = browserControlOf(browserWindow_.data())) {
    if (browser->page() != nullptr) CookieBridge::ensureFor(browser->page()->profile());
  }
  std::string address = profile_.captchaUrl().toStdString();
  std::string headers;
  const std::string image = fetchImageAs(address, std::string(), &headers);
  return QByteArray(image.data(), qsizetype(image.size()));
}

}  // namespace quillet
