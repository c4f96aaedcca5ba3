#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTabWidget>

#include "site/site_profile.h"

namespace quillet {

class DocumentRef;
class RememberedAccount;

/// The widgets of the sign-in page that the login reads and writes.
struct LoginControls {
  QLineEdit* userName = nullptr;
  QLineEdit* password = nullptr;
  QLineEdit* captcha = nullptr;
  QLabel* captchaPicture = nullptr;
  QCheckBox* remember = nullptr;
  QLabel* hint = nullptr;
  QTabWidget* tabs = nullptr;  // page 0 signs in, page 1 publishes
  QWidget* browserWindow = nullptr;
};

/// Signs in to the share site through its own login page in the hidden
/// browser: fills the form, submits it, waits two seconds and reads the
/// outcome from the page that answered. Every attempt ends with a new
/// captcha picture, downloaded in the browser's session.
class LoginFlow : public QObject {
  Q_OBJECT

 public:
  /// Texts of the hint label.
  static QString wrongAccountText();  // "用户名或密码错误"
  static QString wrongCaptchaText();  // "验证码错误"
  static QString successText();       // "登录成功"
  static QString unreachableText();   // the site's page could not be reached at all
  static QString noAnswerText();      // the site had not answered when the wait ended
  static QString notSignedInText();  // "登录没有成功，请重试": the login form is still there

  /// Tab pages switched by a successful sign-in.
  static constexpr int kLoginPage = 0;
  static constexpr int kPublishPage = 1;

  LoginFlow(LoginControls controls, SiteProfile profile, RememberedAccount& account,
            QObject* parent = nullptr);

  /// The login button's handler.
  void OnLoginClicked();
  /// Reads the outcome from the page the browser shows now and reports it.
  void CheckLoginResult();
  /// Downloads a new captcha in the browser's session and shows it; an
  /// empty picture when nothing came back in time.
  void RefreshCaptcha();

  const SiteProfile& profile() const { return profile_; }

 private:
  void checkResult(const DocumentRef* submittedOn);
  void reportNotSignedIn(const QString& text);

  // The widgets may go away while a wait dispatches events (the window is
  // closed); every use checks that they are still there.
  QPointer<QLineEdit> userName_;
  QPointer<QLineEdit> password_;
  QPointer<QLineEdit> captcha_;
  QPointer<QLabel> captchaPicture_;
  QPointer<QCheckBox> remember_;
  QPointer<QLabel> hint_;
  QPointer<QTabWidget> tabs_;
  QPointer<QWidget> browserWindow_;
  SiteProfile profile_;
  RememberedAccount& account_;
};

}  // namespace quillet
