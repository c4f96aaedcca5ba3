#pragma once

namespace quillet::term {

/// The exit statuses of the terminal subcommands.
enum ExitStatus : int {
  kExitOk = 0,             // signed in; every row 成功
  kExitRowsFailed = 1,     // some row 失败 or 地址错误; or the results could not be written
  kExitUsage = 2,          // the command line was refused (as the window's; quillet-cli: 64)
  kExitNotSignedIn = 3,    // not signed in, or the sign-in was refused
  kExitUnreachable = 4,    // the site could not be reached
  kExitFolderInUse = 5,    // another Quillet works in the data folder
  kExitHangUp = 129,       // stopped by SIGHUP (the terminal went away)
  kExitInterrupted = 130,  // stopped by SIGINT
  kExitTerminated = 143,   // stopped by SIGTERM
};

}  // namespace quillet::term
