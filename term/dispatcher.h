#pragma once

#include <QString>

namespace quillet::term {

/// True when `argument` (the first after the program name) names a command
/// of the registry.
bool isSubcommand(const char* argument);

/// Runs the command named by argv[1] with the arguments after it and
/// returns its exit status. `programDir` is the executable's folder (for the
/// default data folder).
int runSubcommand(int argc, char** argv, const QString& programDir);

/// Refuses `word`, the first argument, which is no option and no command: a
/// mistyped command. Says so with the list of commands; the usage status.
int refuseUnknownSubcommand(const char* word);

}  // namespace quillet::term
