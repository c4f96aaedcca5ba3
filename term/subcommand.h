#pragma once

#include <QString>
#include <QStringList>

namespace quillet::term {

/// One subcommand of `quillet`: its own options, help and exit statuses.
class Subcommand {
 public:
  virtual ~Subcommand() = default;
  /// Runs with the arguments after the subcommand's name; returns the exit status.
  virtual int execute(const QStringList& arguments) = 0;
};

}  // namespace quillet::term
