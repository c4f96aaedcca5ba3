#pragma once

#include "config/app_config.h"

namespace quillet {

/// Opens the window with the settled `config` and runs it to its end; the
/// process's exit status. `argc`/`argv` go to the application object.
int runWindow(int& argc, char** argv, const AppConfig& config);

}  // namespace quillet
