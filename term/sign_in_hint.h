#pragma once

#include <QString>

namespace quillet::term {

class CommandLine;

/// What a signed-out run or check tells: "未登录：请先运行 quillet login"
/// with the options that sign in this data folder's session (the remembered
/// user, --site and --data-dir as given), and the folder it looked in.
QString signInHint(const CommandLine& line);

}  // namespace quillet::term
