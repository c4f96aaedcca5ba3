#pragma once

#include <QString>

#include "term/subcommand.h"

namespace quillet::term {

/// `quillet login`: signs in through the site's own login form in the hidden
/// browser and keeps the session in the data folder. The captcha picture is
/// saved as captcha.png there, drawn on a terminal, and its text read from
/// standard input, up to three pictures. Exit 0 signed in, 3 refused,
/// 4 site unreachable, 2 usage.
class LoginCommand : public Subcommand {
 public:
  explicit LoginCommand(QString programDir) : programDir_(std::move(programDir)) {}
  int execute(const QStringList& arguments) override;

  static constexpr int kCaptchaTries = 3;

 private:
  QString programDir_;
};

}  // namespace quillet::term
