#pragma once

#include <QString>

namespace quillet {

/// The user's home folder: $HOME when it holds an absolute path, else the
/// home of the user in the password database (a cron job or `env -i` may run
/// without $HOME), else the root folder.
QString homeFolder();

}  // namespace quillet
