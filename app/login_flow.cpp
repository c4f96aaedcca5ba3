#include "app/login_flow.h"

#include <QPixmap>

#include "browser/browser_site_page.h"

namespace quillet {

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
      page_(browserSitePage(controls.browserWindow)),
      login_(*page_, std::move(profile), account) {}

LoginRequest LoginFlow::requestFromFields() const {
  LoginRequest request;
  request.user = userName_ ? userName_->text() : QString();
  request.password = password_ ? password_->text() : QString();
  request.captcha = captcha_ ? captcha_->text() : QString();
  request.remember =
      remember_ && remember_->isChecked() ? RememberChoice::Store : RememberChoice::Forget;
  return request;
}

void LoginFlow::onLoginClicked() {
  show(login_.submit(requestFromFields()));
}

void LoginFlow::checkLoginResult() {
  show(login_.checkShownPage(requestFromFields()));
}

void LoginFlow::show(const LoginReport& report) {
  if (hint_) hint_->setText(report.hint);
  switch (report.outcome) {
    case LoginOutcome::WrongAccount:
      if (userName_) userName_->clear();
      if (password_) password_->clear();
      break;
    case LoginOutcome::WrongCaptcha:
      if (captcha_) captcha_->clear();
      break;
    case LoginOutcome::SignedIn:
      if (tabs_) {
        tabs_->setTabEnabled(kPublishPage, true);
        tabs_->setCurrentIndex(kPublishPage);
        tabs_->setTabEnabled(kLoginPage, false);
      }
      showCaptcha(report.captchaPicture);
      Q_EMIT signedIn();
      return;
    case LoginOutcome::Unreachable:
    case LoginOutcome::NoAnswer:
    case LoginOutcome::NotSignedIn:
      break;
  }
  showCaptcha(report.captchaPicture);
}

void LoginFlow::askAgain(const QString& hint) {
  if (tabs_) {
    tabs_->setTabEnabled(kLoginPage, true);
    tabs_->setCurrentIndex(kLoginPage);
  }
  if (hint_) hint_->setText(hint);
  if (captcha_) captcha_->clear();
  refreshCaptcha();
}

void LoginFlow::refreshCaptcha() {
  showCaptcha(login_.downloadCaptcha());
}

void LoginFlow::showCaptcha(const QByteArray& image) {
  if (!captchaPicture_) return;
  QPixmap picture;
  if (!image.isEmpty() && picture.loadFromData(image)) {
    captchaPicture_->setPixmap(picture);
  } else {
    captchaPicture_->clear();
  }
}

}  // namespace quillet
