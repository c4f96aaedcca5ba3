#pragma once

#include <QString>

#include "term/subcommand.h"

namespace quillet::term {

/// `quillet check`: a dry run of one share's page steps with the site
/// profile in force, in the kept session (no sign-out), one line per step on
/// standard output. Nothing is shared. Exit 0 every step as the profile
/// expects, 1 a step found something else, 2 usage or a refused profile,
/// 3 not signed in.
class CheckCommand : public Subcommand {
 public:
  explicit CheckCommand(QString programDir) : programDir_(std::move(programDir)) {}
  int execute(const QStringList& arguments) override;

 private:
  QString programDir_;
};

/// `quillet profile --print-default`: the built-in site profile as a
/// commented TOML file on standard output, a start for a profile of one's own.
class ProfileCommand : public Subcommand {
 public:
  explicit ProfileCommand(QString programDir) : programDir_(std::move(programDir)) {}
  int execute(const QStringList& arguments) override;

 private:
  QString programDir_;
};

}  // namespace quillet::term
