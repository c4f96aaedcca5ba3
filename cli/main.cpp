// quillet-cli: the program's HTTP fetch and text conversions from a terminal, for people
// debugging a site and for scripts.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/fetch_command.h"
#include "cli/text_command.h"

namespace {

const char* kHelp = R"(Usage: quillet-cli COMMAND [arguments]

Commands:
  fetch URL [options]     fetch an address as the program does; the body goes to standard output
  text CONVERSION         convert standard input (utf8-to-gbk, big5-to-gbk,
                          big5-to-simplified-gbk, to-simplified, gbk-to-utf8)

Run 'quillet-cli COMMAND --help' for the options of a command.

Options:
  -h, --help              show this help
      --version           show the version
)";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kHelp, stderr);
    return quillet::cli::kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(kHelp, stdout);
    return quillet::cli::kExitOk;
  }
  if (command == "--version") {
    std::printf("quillet-cli %s\n", QUILLET_VERSION);
    return quillet::cli::kExitOk;
  }
  if (command == "fetch") return quillet::cli::runFetch(args);
  if (command == "text") return quillet::cli::runText(args);
  std::fprintf(stderr, "quillet-cli: unknown command '%s'\n\n", command.c_str());
  std::fputs(kHelp, stderr);
  return quillet::cli::kExitUsage;
}
