#pragma once

#include <string>
#include <vector>

namespace quillet::cli {

// Exit statuses of the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitTimedOut = 2;
inline constexpr int kExitIncomplete = 3;  // the answer broke off after its headers
// A wrong command line, for every subcommand of quillet-cli: EX_USAGE, since 2 is the time-out
// here (quillet itself uses 2, its kExitUsage in term/exit_status.h).
inline constexpr int kExitUsage = 64;

/// `quillet-cli fetch URL [options]`: one fetchWithTimeout from the command line. Returns the
/// exit status.
int runFetch(const std::vector<std::string>& args);

/// The help text of the fetch subcommand.
const char* fetchHelp();

}  // namespace quillet::cli
