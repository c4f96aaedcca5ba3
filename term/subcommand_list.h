#pragma once

#include <QString>

namespace quillet::term {

/// One line of the subcommand list in `quillet --help`.
struct SubcommandEntry {
  const char* name;
  const char* summary;
};

inline constexpr SubcommandEntry kSubcommands[] = {
    {"login", "sign in to the share site and keep the session in the data folder"},
    {"run", "share every address of a file, with results on standard output"},
    {"check", "try the site profile on the site: one share's steps, nothing shared"},
    {"profile", "print the built-in site profile (--print-default)"},
    {"accounts", "list, add, set or remove named accounts (--account NAME)"},
};

/// The "Commands:" section that ends `quillet --help`.
inline QString subcommandsHelp() {
  QString text = QStringLiteral("\nCommands (without one, the window opens):\n");
  for (const SubcommandEntry& entry : kSubcommands) {
    text += QStringLiteral("  %1  %2\n")
                .arg(QString::fromUtf8(entry.name), -9)
                .arg(QString::fromUtf8(entry.summary));
  }
  return text + QStringLiteral("\nRun 'quillet COMMAND --help' for the options of a command.\n");
}

}  // namespace quillet::term
