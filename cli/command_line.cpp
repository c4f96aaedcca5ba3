#include "cli/command_line.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace quillet::cli {

CommandLine::CommandLine(const std::vector<std::string>& args,
                         const std::vector<OptionSpec>& specs) {
  const auto findLong = [&](const std::string& name) -> const OptionSpec* {
    for (const OptionSpec& spec : specs) {
      if (spec.name == name) return &spec;
    }
    return nullptr;
  };
  const auto findShort = [&](char name) -> const OptionSpec* {
    for (const OptionSpec& spec : specs) {
      if (spec.shortName != 0 && spec.shortName == name) return &spec;
    }
    return nullptr;
  };
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionSpec* spec = nullptr;
    std::optional<std::string> inlineValue;
    std::string shown = arg;
    if (arg.starts_with("--")) {
      const std::size_t equals = arg.find('=');
      spec = findLong(arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2));
      if (equals != std::string::npos) {
        inlineValue = arg.substr(equals + 1);
        shown = arg.substr(0, equals);
      }
    } else if (arg.size() == 2) {
      spec = findShort(arg[1]);
    }
    if (spec == nullptr) {
      error_ = "unknown option " + shown;
      return;
    }
    if (!spec->takesValue) {
      if (inlineValue) {
        error_ = "option " + shown + " takes no value";
        return;
      }
      values_[spec->name].push_back({});
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error_ = "option " + shown + " needs a value";
        return;
      }
      inlineValue = args[++i];
    }
    values_[spec->name].push_back(*inlineValue);
  }
}

std::optional<std::string> CommandLine::value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> CommandLine::values(const std::string& name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::string readStandardInput() {
  std::string data;
  char buffer[1 << 16];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) data.append(buffer, n);
  return data;
}

}  // namespace quillet::cli
