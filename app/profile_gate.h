#pragma once

class QTextStream;

namespace quillet {

struct AppConfig;
class Dialogs;

/// Reads the site profile for a run of the window (--profile, else site.toml
/// in the data folder, else the built-in one) into `config.profile`. A
/// profile that is refused is never half used: its messages go to `err` and
/// into a message box, and the result is false, after which the program ends
/// with status 2 before anything starts.
bool loadProfileForWindow(AppConfig& config, Dialogs& dialogs, QTextStream& err);

/// The exit status of a run refused for its site profile.
inline constexpr int kBadProfileExitCode = 2;

}  // namespace quillet
