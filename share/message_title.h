#pragma once

#include <QString>

namespace quillet {

/// The title of a message that has no title of its own: the program's
/// display name.
QString defaultMessageTitle();

}  // namespace quillet
