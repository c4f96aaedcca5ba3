#pragma once

#include <string>
#include <vector>

namespace quillet::cli {

/// `quillet-cli text CONVERSION`: converts standard input to standard output. Returns the exit
/// status.
int runText(const std::vector<std::string>& args);

/// The help text of the text subcommand.
const char* textHelp();

}  // namespace quillet::cli
