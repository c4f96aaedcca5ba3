#pragma once

#include <QString>

namespace quillet {

/// What the window remembers from one start to the next: the share settings
/// as last set (period, loop sharing, random comment) and the folder of the
/// last export. Kept as "window.ini" in the configuration folder (where the
/// remembered account lives).
struct SharePreferences {
  QString period;  // digits only, as the period field takes them; empty when never set
  bool loopSharing = false;
  bool addComment = false;
  QString exportFolder;  // empty: the home folder

  bool operator==(const SharePreferences&) const = default;
};

/// The file's name in the configuration folder.
inline constexpr char kPreferencesFileName[] = "window.ini";

/// Reads the preferences kept in `folder`; the defaults for a missing or
/// unreadable file, and for any value the window could not hold (a period
/// that is not 1 to 9 digits).
SharePreferences loadSharePreferences(const QString& folder);

/// Writes `preferences` to `folder` at once (the window may end the process
/// without a shutdown). False when the file cannot be written.
bool saveSharePreferences(const QString& folder, const SharePreferences& preferences);

}  // namespace quillet
