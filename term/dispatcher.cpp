#include "term/dispatcher.h"

#include <QStringList>
#include <cstring>
#include <memory>

#include "term/accounts_command.h"
#include "term/check_command.h"
#include "term/login_command.h"
#include "term/run_command.h"
#include "term/subcommand_list.h"

namespace quillet::term {
namespace {

std::unique_ptr<Subcommand> makeSubcommand(const QString& name, const QString& programDir) {
  if (name == QLatin1String("login")) return std::make_unique<LoginCommand>(programDir);
  if (name == QLatin1String("run")) return std::make_unique<RunCommand>(programDir);
  if (name == QLatin1String("check")) return std::make_unique<CheckCommand>(programDir);
  if (name == QLatin1String("profile")) return std::make_unique<ProfileCommand>(programDir);
  if (name == QLatin1String("accounts")) return std::make_unique<AccountsCommand>();
  return nullptr;
}

}  // namespace

bool isSubcommand(const char* argument) {
  if (argument == nullptr) return false;
  for (const SubcommandEntry& entry : kSubcommands) {
    if (std::strcmp(entry.name, argument) == 0) return true;
  }
  return false;
}

int runSubcommand(int argc, char** argv, const QString& programDir) {
  QStringList arguments;
  for (int i = 2; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const std::unique_ptr<Subcommand> command =
      makeSubcommand(QString::fromLocal8Bit(argv[1]), programDir);
  return command ? command->execute(arguments) : 2;
}

}  // namespace quillet::term
