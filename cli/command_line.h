#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillet::cli {

/// One option a subcommand accepts: "--name", optionally "-x", with or without a value.
struct OptionSpec {
  std::string name;  // long name without the dashes
  char shortName = 0;
  bool takesValue = false;
};

/// The arguments of one subcommand, parsed against its options. Values come as "--name VALUE",
/// "--name=VALUE" or "-x VALUE"; "--" ends the options.
class CommandLine {
 public:
  CommandLine(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

  /// Empty when the arguments are well-formed; otherwise what is wrong, for the user.
  const std::string& error() const { return error_; }
  bool has(const std::string& name) const { return values_.count(name) != 0; }
  /// The last value given for the option.
  std::optional<std::string> value(const std::string& name) const;
  /// Every value given for the option, in order.
  std::vector<std::string> values(const std::string& name) const;
  const std::vector<std::string>& positional() const { return positional_; }

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positional_;
  std::string error_;
};

/// The whole content of a file, as bytes; nullopt when it cannot be read.
std::optional<std::string> readFile(const std::string& path);

/// Writes bytes to a file, replacing it; false when that fails.
bool writeFile(const std::string& path, const std::string& bytes);

/// Everything on standard input, as bytes.
std::string readStandardInput();

}  // namespace quillet::cli
