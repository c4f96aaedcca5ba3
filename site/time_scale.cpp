#include "site/time_scale.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <string>

namespace quillet {
namespace {

double readScaleFromEnvironment() {
  const char* text = std::getenv("QUILLET_TIME_SCALE");
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || !std::isfinite(value) || value <= 0.0) return 1.0;
  return value;
}

std::atomic<double>& scaleStore() {
  static std::atomic<double> scale{readScaleFromEnvironment()};
  return scale;
}

}  // namespace

double timeScale() {
  return scaleStore().load(std::memory_order_relaxed);
}

void setTimeScale(double scale) {
  if (std::isfinite(scale) && scale > 0.0) scaleStore().store(scale, std::memory_order_relaxed);
}

std::int64_t scaledMicros(std::int64_t micros) {
  return static_cast<std::int64_t>(static_cast<double>(micros) * timeScale());
}

}  // namespace quillet
