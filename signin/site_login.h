#pragma once

#include <QByteArray>
#include <QString>

#include "site/site_profile.h"

namespace quillet {

class RememberedAccount;
class SitePage;

/// How a sign-in attempt ended.
enum class LoginOutcome {
  SignedIn,
  WrongAccount,  // the site named the user or the password wrong
  WrongCaptcha,  // the site asked for the captcha again
  Unreachable,   // no page of the site could be shown
  NoAnswer,      // the form was sent but the site had not answered in time
  NotSignedIn,   // the answer named no error, yet the login form is still there
};

/// What happens to the remembered account after a successful sign-in.
enum class RememberChoice {
  Store,   // remember this user and password
  Forget,  // empty the remembered account
  Keep,    // leave the remembered account as it is
};

/// One attempt's inputs.
struct LoginRequest {
  QString user;
  QString password;
  QString captcha;
  RememberChoice remember = RememberChoice::Forget;
};

/// One attempt's result: the outcome, its hint text and the fresh captcha
/// picture downloaded after it (the site's bytes; empty when none came back).
struct LoginReport {
  LoginOutcome outcome = LoginOutcome::Unreachable;
  QString hint;
  QByteArray captchaPicture;
};

/// Signs in to the share site through its own login page in a hidden browser
/// (`page`, which the caller keeps for as long as this object): fills the
/// form, submits it, waits two seconds and reads the outcome from the page
/// that answered. Every attempt ends with a new captcha picture, downloaded
/// in the browser's session. Knows no widgets and no browser: the window's
/// sign-in page and the terminal both drive it.
class SiteLogin {
 public:
  SiteLogin(SitePage& page, SiteProfile profile, RememberedAccount& account);

  /// Hint texts, one per outcome.
  static QString wrongAccountText();  // "用户名或密码错误"
  static QString wrongCaptchaText();  // "验证码错误"
  static QString successText();       // "登录成功"
  static QString unreachableText();   // the site's page could not be reached at all
  static QString noAnswerText();      // the site had not answered when the wait ended
  static QString notSignedInText();  // "登录没有成功，请重试": the login form is still there
  static QString hintFor(LoginOutcome outcome);

  /// Submits the login form with `request` and reports the outcome. A
  /// success stores or forgets the account as `request.remember` says.
  LoginReport submit(const LoginRequest& request);
  /// Reads the outcome from the page the browser shows now, as after a
  /// submission of `request` (its captcha is not used).
  LoginReport checkShownPage(const LoginRequest& request);
  /// Downloads a new captcha picture in the browser's session; empty when
  /// nothing came back in time.
  QByteArray downloadCaptcha();

  const SiteProfile& profile() const { return profile_; }

 private:
  /// The one place that decides what the page shown after a submission means.
  /// `submittedOn` names the document the form was sent on (empty when none
  /// was sent); null when there was no page to send it on.
  LoginOutcome judge(const QString* submittedOn);
  LoginReport finish(LoginOutcome outcome, const LoginRequest& request);

  // The browser may go away while a wait dispatches events (the window is
  // closed); the page then does nothing and shows nothing.
  SitePage& page_;
  SiteProfile profile_;
  RememberedAccount& account_;
};

}  // namespace quillet
