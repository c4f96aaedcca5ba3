#include "share/share_settings.h"

#include <cmath>

namespace quillet {

ShareSettings::~ShareSettings() = default;

std::optional<double> periodFromText(const QString& text) {
  bool ok = false;
  const double seconds = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(seconds)) return std::nullopt;
  return seconds;
}

}  // namespace quillet
