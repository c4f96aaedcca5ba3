#pragma once

#include <QString>
#include <optional>

#include "signin/remembered_account.h"
#include "term/session_command.h"

namespace quillet::term {

/// `quillet login`: signs in through the site's own login form in the hidden
/// browser and keeps the session in the data folder. The captcha picture is
/// saved as captcha.png there, drawn on a terminal, and its text read from
/// standard input, up to three pictures. Exit 0 signed in, 3 refused,
/// 4 site unreachable, 2 usage.
class LoginCommand : public SessionCommand {
 public:
  static constexpr char kName[] = "login";
  static constexpr char kSummary[] =
      "sign in to the share site and keep the session in the data folder";
  static constexpr int kCaptchaTries = 3;

  explicit LoginCommand(QString programDir);

 protected:
  QList<QCommandLineOption> options() const override;
  QStringList folders() const override;
  /// The remembered account, the user name and the password: asked before
  /// the lock is taken, so that the folder is not held while a prompt waits.
  Step prepareFolder() override;
  /// The login page, reached from a signed-out session.
  Step reachSite(HeadlessBrowser& session) override;
  /// The captcha and the form, up to kCaptchaTries pictures.
  int work(HeadlessBrowser& session, StopSignals& stops) override;

 private:
  const QCommandLineOption userOption_;
  const QCommandLineOption passwordFileOption_;
  const QCommandLineOption rememberOption_;

  std::optional<RememberedAccount> account_;
  QString user_;
  QString password_;
  bool rememberedPassword_ = false;
};

}  // namespace quillet::term
