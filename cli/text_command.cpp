#include "cli/text_command.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string_view>

#include "cli/command_line.h"
#include "cli/fetch_command.h"
#include "text/code_page_conversion.h"

namespace quillet::cli {
namespace {

using Conversion = std::function<std::string(std::string_view)>;

const std::map<std::string, Conversion>& conversions() {
  static const std::map<std::string, Conversion> table = {
      {"utf8-to-gbk", [](std::string_view in) { return utf8ToGbk(in); }},
      {"big5-to-gbk", [](std::string_view in) { return big5ToGbk(in); }},
      {"big5-to-simplified-gbk", [](std::string_view in) { return big5ToSimplifiedGbk(in); }},
      {"to-simplified", [](std::string_view in) { return toSimplifiedChinese(in); }},
      {"gbk-to-utf8", [](std::string_view in) { return gbkToUtf8(in); }},
  };
  return table;
}

}  // namespace

const char* textHelp() {
  return R"(Usage: quillet-cli text CONVERSION < INPUT > OUTPUT

Converts standard input to standard output, the way the program converts web responses.

Conversions:
  utf8-to-gbk              UTF-8 to GBK
  big5-to-gbk              Big5 to GBK (traditional characters stay traditional)
  big5-to-simplified-gbk   Big5 to GBK with traditional characters made simplified
  to-simplified            GBK to GBK with traditional characters made simplified (the byte
                           length stays the same)
  gbk-to-utf8              GBK to UTF-8

The input is text: it ends at its first zero byte. Characters the target lacks become "?".

Options:
  -h, --help               show this help
)";
}

int runText(const std::vector<std::string>& args) {
  const CommandLine line(args, {{"help", 'h', false}});
  if (!line.error().empty() || line.has("help") || line.positional().size() != 1 ||
      conversions().count(line.positional()[0]) == 0) {
    const bool asked = line.error().empty() && line.has("help");
    std::fputs(textHelp(), asked ? stdout : stderr);
    if (!asked && !line.error().empty())
      std::fprintf(stderr, "\nquillet-cli text: %s\n", line.error().c_str());
    return asked ? kExitOk : kExitUsage;
  }
  const std::string input = readStandardInput();
  const std::string output = conversions().at(line.positional()[0])(input);
  if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() ||
      std::fflush(stdout) != 0) {
    std::perror("quillet-cli text: writing the output failed");
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace quillet::cli
