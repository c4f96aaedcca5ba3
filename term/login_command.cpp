#include "term/login_command.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>
#include <memory>
#include <optional>

#include "browser/browser_control.h"
#include "browser/browser_site_page.h"
#include "config/environment_password.h"
#include "signin/site_login.h"
#include "term/exit_status.h"
#include "term/half_block_picture.h"
#include "term/headless_browser.h"
#include "term/say.h"
#include "term/stop_signals.h"
#include "term/terminal_input.h"

namespace quillet::term {
namespace {

// How long the login page may take to load before the site counts as
// unreachable. A network limit: not scaled.
constexpr int kPageLoadLimitMs = 30'000;

// The password file's text without the line break an editor leaves at its end.
std::optional<QString> readPasswordFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.readAll();
  if (bytes.endsWith('\n')) bytes.chop(1);
  if (bytes.endsWith('\r')) bytes.chop(1);
  return QString::fromUtf8(bytes);
}

// Saves the picture as PNG and draws it when standard error is a terminal.
// False when the bytes are no picture.
bool showCaptcha(const QByteArray& bytes, const QString& path) {
  QImage picture;
  if (bytes.isEmpty() || !picture.loadFromData(bytes)) return false;
  if (!picture.save(path, "PNG")) say(QStringLiteral("无法保存验证码图片：%1").arg(path));
  if (stderrIsTerminal()) {
    const QByteArray art = halfBlockPicture(picture, terminalColours());
    std::fwrite(art.constData(), 1, size_t(art.size()), stderr);
  }
  say(QStringLiteral("验证码图片：%1").arg(path));
  return true;
}

}  // namespace

LoginCommand::LoginCommand(QString programDir)
    : SessionCommand(
          std::move(programDir), QString::fromLatin1(kName), QStringLiteral("[options]"),
          QStringLiteral("Signs in to the share site in a hidden browser and keeps the "
                         "session in the data folder, for 'quillet run'.\n"
                         "The captcha picture is saved as captcha.png in the data folder "
                         "(and drawn on a terminal); its text is read from standard "
                         "input.\nExit status: 0 signed in, 2 usage, 3 refused (wrong "
                         "account, or a wrong captcha three times), 4 site unreachable, 5 the data "
                         "folder is in use by another Quillet or cannot be locked, 129/130/143 "
                         "ended by SIGHUP/SIGINT/SIGTERM."),
          0),
      userOption_(QStringLiteral("user"),
                  QStringLiteral("User name (default: the remembered account, else a prompt)."),
                  QStringLiteral("NAME")),
      passwordFileOption_(
          QStringLiteral("password-file"),
          QStringLiteral("Read the password from FILE (default: $QUILLET_PASSWORD, else the "
                         "desktop's keyring, else password.txt, else a prompt without echo)."),
          QStringLiteral("FILE")),
      rememberOption_(
          QStringLiteral("remember"),
          QStringLiteral("Remember the user and password, as the window's \"记住账号和密码\" "
                         "does: the password in the desktop's keyring, else in password.txt.")) {}

QList<QCommandLineOption> LoginCommand::options() const {
  return {userOption_, passwordFileOption_, rememberOption_};
}

QStringList LoginCommand::folders() const {
  return {line().config().dataDir, line().config().stateDir};
}

SessionCommand::Step LoginCommand::prepareFolder() {
  const QCommandLineParser& parser = line().parser();
  account_.emplace(line().config().dataDir);
  account_->keepPasswordInKeyring(line().profile().siteBase,
                                  [](const QString& text) { say(text); });

  user_ = parser.value(userOption_);
  if (user_.isEmpty()) user_ = account_->userName();
  if (user_.isEmpty()) {
    const std::optional<QString> typed = promptLine(QStringLiteral("用户名："));
    if (!typed || typed->isEmpty()) return refuse(QStringLiteral("no user name"));
    user_ = *typed;
  }

  if (parser.isSet(passwordFileOption_)) {
    const QString path = parser.value(passwordFileOption_);
    const std::optional<QString> text = readPasswordFile(path);
    if (!text) return refuse(QStringLiteral("cannot read %1").arg(path));
    password_ = *text;
  } else if (environmentPassword()) {
    // Read at the start and taken out of the environment there.
    password_ = *environmentPassword();
  } else if (const QString kept = account_->userName() == user_ ? account_->password() : QString();
             !kept.isEmpty()) {
    // The remembered password belongs to the remembered user only.
    password_ = kept;
    rememberedPassword_ = true;
  } else {
    const std::optional<QString> typed = promptLine(QStringLiteral("密码："), true);
    if (!typed) return refuse(QStringLiteral("no password"));
    password_ = *typed;
  }
  return std::nullopt;
}

SessionCommand::Step LoginCommand::reachSite(HeadlessBrowser& session) {
  // Nothing to finish in order here: a signal during a page load or at the
  // captcha prompt ends the sign-in at once.
  // A sign-in starts from a signed-out session, as the window's start-up
  // does: the account asked for replaces whichever the session held.
  const SiteProfile& profile = line().profile();
  for (const QString& address : {profile.logoutUrl(), profile.logonUrl()}) {
    session.browser()->navigate(address);
    session.waitUntilLoaded(kPageLoadLimitMs);
  }
  if (session.browser()->isLoading() || session.browser()->showsErrorPage()) {
    say(SiteLogin::unreachableText());
    return kExitUnreachable;
  }
  return std::nullopt;
}

int LoginCommand::work(HeadlessBrowser& session, StopSignals&) {
  const bool remember = line().parser().isSet(rememberOption_);
  const std::unique_ptr<SitePage> page = browserSitePage(session.browser());
  SiteLogin login(*page, line().profile(), *account_);
  const QString picturePath =
      QDir(line().config().dataDir).absoluteFilePath(QStringLiteral("captcha.png"));
  QByteArray picture = login.downloadCaptcha();
  for (int attempt = 1; attempt <= kCaptchaTries; ++attempt) {
    if (!showCaptcha(picture, picturePath)) {
      say(QStringLiteral("无法下载验证码，请稍后重试"));
      return kExitUnreachable;
    }
    const std::optional<QString> captcha = promptLine(QStringLiteral("验证码："));
    if (!captcha) {
      say(QStringLiteral("没有读到验证码"));
      return kExitNotSignedIn;
    }
    LoginRequest request;
    request.user = user_;
    request.password = password_;
    request.captcha = captcha->trimmed();
    request.remember = remember ? RememberChoice::Store : RememberChoice::Keep;
    const LoginReport report = login.submit(request);
    say(report.hint);
    switch (report.outcome) {
      case LoginOutcome::SignedIn:
        return kExitOk;
      case LoginOutcome::WrongAccount:
        // A remembered password the site refuses is not offered again: the
        // next login asks for it, as the window empties its password box.
        if (rememberedPassword_ && !remember) account_->forgetPassword();
        return kExitNotSignedIn;
      case LoginOutcome::NotSignedIn:
        return kExitNotSignedIn;
      case LoginOutcome::Unreachable:
      case LoginOutcome::NoAnswer:
        return kExitUnreachable;
      case LoginOutcome::WrongCaptcha:
        picture = report.captchaPicture;
        break;
    }
  }
  return kExitNotSignedIn;
}

}  // namespace quillet::term
