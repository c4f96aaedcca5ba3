#pragma once

#include <QString>

#include "term/session_command.h"

namespace quillet::term {

/// `quillet check`: a dry run of one share's page steps with the site
/// profile in force, in the kept session (no sign-out), one line per step on
/// standard output. Nothing is shared. Exit 0 every step as the profile
/// expects, 1 a step found something else, 2 usage or a refused profile,
/// 3 not signed in.
class CheckCommand : public SessionCommand {
 public:
  static constexpr char kName[] = "check";
  static constexpr char kSummary[] =
      "try the site profile on the site: one share's steps, nothing shared";

  explicit CheckCommand(QString programDir);

 protected:
  int work(HeadlessBrowser& session, StopSignals& stops) override;
};

/// `quillet profile --print-default`: the built-in site profile as a
/// commented TOML file on standard output, a start for a profile of one's own.
class ProfileCommand : public Subcommand {
 public:
  static constexpr char kName[] = "profile";
  static constexpr char kSummary[] = "print the built-in site profile (--print-default)";

  explicit ProfileCommand(QString programDir);
  int execute(const QStringList& arguments) override;

 private:
  QString programDir_;
  const QCommandLineOption printDefault_;
};

}  // namespace quillet::term
