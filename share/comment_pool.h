#pragma once

#include <QStringList>

namespace quillet {

/// The ten comment texts of the comment list, in order (index 0 to 9).
QStringList commentPoolTexts();

}  // namespace quillet
