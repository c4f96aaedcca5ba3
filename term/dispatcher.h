#pragma once

#include <QString>

namespace quillet::term {

/// True when `argument` (the first after the program name) names a subcommand.
bool isSubcommand(const char* argument);

/// Runs the subcommand named by argv[1] with the arguments after it and
/// returns its exit status. `programDir` is the executable's folder (for the
/// default data folder).
int runSubcommand(int argc, char** argv, const QString& programDir);

}  // namespace quillet::term
