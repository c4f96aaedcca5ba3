#include "signin/site_login.h"

#include "net/fetch_with_timeout.h"
#include "signin/fetch_image.h"
#include "signin/fetch_wait_pump.h"
#include "signin/remembered_account.h"
#include "signin/session_note.h"
#include "site/pump_wait.h"
#include "site/site_page.h"

namespace quillet {
namespace {

// How long the site gets to answer a submitted login form.
constexpr std::int32_t kAnswerWaitMicros = 2'000'000;
// When the answer is still on its way after that wait, how much longer it
// may take to arrive before the attempt counts as unanswered. A network
// limit, so it does not follow the time scale.
constexpr int kPendingAnswerLimitMs = 10'000;

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

SiteLogin::SiteLogin(SitePage& page, SiteProfile profile, RememberedAccount& account)
    : page_(page), profile_(std::move(profile)), account_(account) {
  // The captcha download waits on this thread; keep the window alive
  // meanwhile.
  setFetchWaitPump(qtFetchWaitPump());
}

LoginReport SiteLogin::submit(const LoginRequest& request) {
  const QString submittedOn = page_.documentId(kPageAnswerTimeoutMs);
  if (submittedOn.isEmpty()) {
    // No page to fill: nothing was submitted, so nothing can have succeeded.
    return finish(judge(nullptr), request);
  }
  page_.setTextBoxValue(profile_.userNameBox, request.user);
  page_.setTextBoxValue(profile_.passwordBox, request.password);
  page_.setTextBoxValue(profile_.captchaBox, request.captcha);
  page_.clickButton(profile_.loginButton);
  pumpWait(kAnswerWaitMicros);
  // Reading the page while the answer is still loading would read the login
  // form itself, which names no error and would pass for a success.
  if (page_.isLoading()) page_.waitUntilLoaded(kPendingAnswerLimitMs);
  return finish(judge(&submittedOn), request);
}

LoginReport SiteLogin::checkShownPage(const LoginRequest& request) {
  const QString nothing;
  return finish(judge(&nothing), request);
}

LoginOutcome SiteLogin::judge(const QString* submittedOn) {
  // A page kept busy by its own scripts answers late; its late answer is
  // still the outcome, not an absent notice.
  if (submittedOn == nullptr) return LoginOutcome::Unreachable;
  const QString shown = page_.documentId(kOutcomeAnswerTimeoutMs);
  if (shown.isEmpty() || page_.showsErrorPage()) return LoginOutcome::Unreachable;
  if (!submittedOn->isEmpty() && shown == *submittedOn && page_.isLoading()) {
    // The form was sent but no answer has arrived: the page shown is the
    // login form itself, which says nothing about the outcome.
    return LoginOutcome::NoAnswer;
  }
  // A captcha notice first: "验证码错误" also contains the wrong-account mark
  // "错误", and reading it as a wrong account would empty a good user name
  // and password.
  for (const QString& mark : profile_.captchaMarks()) {
    if (page_.highlightText(mark, kOutcomeAnswerTimeoutMs, nullptr))
      return LoginOutcome::WrongCaptcha;
  }
  if (page_.highlightText(profile_.loginWrongAccountMark, kOutcomeAnswerTimeoutMs, nullptr))
    return LoginOutcome::WrongAccount;
  // The submit changed nothing the site would say: the form is still there,
  // so the attempt did not sign in.
  if (page_.showsLoginForm(kOutcomeAnswerTimeoutMs)) return LoginOutcome::NotSignedIn;
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
  // The download must carry the browser's session.
  page_.shareSessionWithDownloads();
  std::string address = profile_.captchaUrl().toStdString();
  std::string headers;
  const std::string image = fetchImageAs(address, std::string(), &headers);
  return QByteArray(image.data(), qsizetype(image.size()));
}

}  // namespace quillet
