#include "term/dispatcher.h"

#include <QStringList>
#include <memory>

#include "term/exit_status.h"
#include "term/say.h"
#include "term/subcommand_registry.h"

namespace quillet::term {

bool isSubcommand(const char* argument) {
  return argument != nullptr && findSubcommand(QString::fromLocal8Bit(argument)) != nullptr;
}

int runSubcommand(int argc, char** argv, const QString& programDir) {
  QStringList arguments;
  for (int i = 2; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const SubcommandEntry* entry = findSubcommand(QString::fromLocal8Bit(argv[1]));
  if (entry == nullptr) return refuseUnknownSubcommand(argv[1]);
  return entry->make(programDir)->execute(arguments);
}

int refuseUnknownSubcommand(const char* word) {
  QString help = subcommandsHelp();
  help.chop(1);  // say() ends the line
  say(QStringLiteral("quillet: unknown command '%1'\n%2").arg(QString::fromLocal8Bit(word), help));
  return kExitUsage;
}

}  // namespace quillet::term
