#pragma once

#include <QString>

namespace quillet {

/// The user's home folder: $HOME when it holds an absolute path, else the
/// home of the user in the password database (a cron job or `env -i` may run
/// without $HOME), else the root folder.
QString homeFolder();

/// An XDG base folder: `variable` when it holds an absolute path (the rules
/// ignore an unset, empty or relative one), else `homeRelative` below the
/// home folder.
QString xdgBaseDir(const char* variable, const char* homeRelative);

}  // namespace quillet
