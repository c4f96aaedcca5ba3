#pragma once

#include <QString>
#include <memory>
#include <span>

#include "term/subcommand.h"

namespace quillet::term {

/// One command of `quillet` as the registry knows it. Its name and one-line
/// summary are the command class's own kName and kSummary; its options and
/// help are in the class.
struct SubcommandEntry {
  const char* name;
  const char* summary;
  /// A new instance of the command; `programDir` is the executable's folder.
  std::unique_ptr<Subcommand> (*make)(const QString& programDir);
};

/// Every command, in the order `quillet --help` lists them. A new command is
/// a class with kName, kSummary and execute(), and one line in this list.
std::span<const SubcommandEntry> subcommands();

/// The command named `name`; null when there is none.
const SubcommandEntry* findSubcommand(const QString& name);

/// The "Commands:" section that ends `quillet --help`.
QString subcommandsHelp();

}  // namespace quillet::term
