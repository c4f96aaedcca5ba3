#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTabWidget>
#include <memory>

#include "signin/site_login.h"
#include "site/site_page.h"
#include "site/site_profile.h"

namespace quillet {

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

/// The window's sign-in page: hands the fields to the site login (see
/// SiteLogin) and shows its outcome: the hint, the fields it empties, the
/// new captcha picture, and the publish page after a success.
class LoginFlow : public QObject {
  Q_OBJECT

 public:
  /// Texts of the hint label.
  static QString wrongAccountText() { return SiteLogin::wrongAccountText(); }
  static QString wrongCaptchaText() { return SiteLogin::wrongCaptchaText(); }
  static QString successText() { return SiteLogin::successText(); }
  static QString unreachableText() { return SiteLogin::unreachableText(); }
  static QString noAnswerText() { return SiteLogin::noAnswerText(); }
  static QString notSignedInText() { return SiteLogin::notSignedInText(); }

  /// Tab pages switched by a successful sign-in.
  static constexpr int kLoginPage = 0;
  static constexpr int kPublishPage = 1;

  LoginFlow(LoginControls controls, SiteProfile profile, RememberedAccount& account,
            QObject* parent = nullptr);

  /// The login button's handler.
  void onLoginClicked();
  /// Reads the outcome from the page the browser shows now and reports it.
  void checkLoginResult();
  /// Downloads a new captcha in the browser's session and shows it; an
  /// empty picture when nothing came back in time.
  void refreshCaptcha();

  const SiteProfile& profile() const { return login_.profile(); }

  /// The site ended the session while the window was away: the sign-in page
  /// comes back (its tab enabled and shown) with `hint` and a new captcha.
  void askAgain(const QString& hint);
  /// "登录已失效，请重新登录后继续".
  static QString sessionEndedText() { return QStringLiteral("登录已失效，请重新登录后继续"); }

 Q_SIGNALS:
  /// A sign-in succeeded (the publish page is showing).
  void signedIn();

 private:
  LoginRequest requestFromFields() const;
  void show(const LoginReport& report);
  void showCaptcha(const QByteArray& image);

  // The widgets may go away while a wait dispatches events (the window is
  // closed); every use checks that they are still there.
  QPointer<QLineEdit> userName_;
  QPointer<QLineEdit> password_;
  QPointer<QLineEdit> captcha_;
  QPointer<QLabel> captchaPicture_;
  QPointer<QCheckBox> remember_;
  QPointer<QLabel> hint_;
  QPointer<QTabWidget> tabs_;
  // The browser's page, as the login works it; made before the login that uses it.
  std::unique_ptr<SitePage> page_;
  SiteLogin login_;
};

}  // namespace quillet
