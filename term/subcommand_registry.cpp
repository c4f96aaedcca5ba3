#include "term/subcommand_registry.h"

#include <type_traits>

#include "term/accounts_command.h"
#include "term/check_command.h"
#include "term/login_command.h"
#include "term/run_command.h"

namespace quillet::term {
namespace {

template <class Command>
constexpr SubcommandEntry entryFor() {
  return {Command::kName, Command::kSummary,
          [](const QString& programDir) -> std::unique_ptr<Subcommand> {
            if constexpr (std::is_constructible_v<Command, QString>) {
              return std::make_unique<Command>(programDir);
            } else {
              return std::make_unique<Command>();
            }
          }};
}

constexpr SubcommandEntry kSubcommands[] = {
    entryFor<LoginCommand>(),   entryFor<RunCommand>(),      entryFor<CheckCommand>(),
    entryFor<ProfileCommand>(), entryFor<AccountsCommand>(),
};

}  // namespace

std::span<const SubcommandEntry> subcommands() {
  return kSubcommands;
}

const SubcommandEntry* findSubcommand(const QString& name) {
  for (const SubcommandEntry& entry : kSubcommands) {
    if (name == QLatin1String(entry.name)) return &entry;
  }
  return nullptr;
}

QString subcommandsHelp() {
  QString text = QStringLiteral("\nCommands (without one, the window opens):\n");
  for (const SubcommandEntry& entry : kSubcommands) {
    text += QStringLiteral("  %1  %2\n")
                .arg(QString::fromUtf8(entry.name), -9)
                .arg(QString::fromUtf8(entry.summary));
  }
  return text + QStringLiteral("\nRun 'quillet COMMAND --help' for the options of a command.\n");
}

}  // namespace quillet::term
