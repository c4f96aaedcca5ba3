#include "term/run_settings.h"

#include <cmath>

#include "share/share_engine.h"

namespace quillet::term {

std::int64_t RunSettings::pacingJitterMicros() {
  std::int64_t jitter = 0;
  if (jitterMaxMicros > 0) {
    std::uniform_int_distribution<std::int64_t> draw(0, jitterMaxMicros);
    jitter = draw(random_);
  }
  if (onPacingWait) onPacingWait(ShareEngine::pacingMicros(periodSeconds.value_or(0.0)) + jitter);
  return jitter;
}

std::optional<double> secondsOption(const QString& text) {
  bool ok = false;
  const double seconds = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 86400) return std::nullopt;
  return seconds;
}

}  // namespace quillet::term
