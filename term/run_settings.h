#pragma once

#include <QString>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>

#include "share/share_settings.h"

namespace quillet::term {

/// The share settings of `quillet run`: fixed values from the command line,
/// plus a uniform random 0..max µs drawn for each final pacing wait.
class RunSettings : public FixedShareSettings {
 public:
  std::int64_t jitterMaxMicros = 0;
  /// Told the whole designed pacing wait (period part plus the draw) each
  /// time one is drawn.
  std::function<void(std::int64_t)> onPacingWait;

  std::int64_t pacingJitterMicros() override;
  double jitterSeconds() const override { return double(jitterMaxMicros) / 1e6; }
  void apply(const PassSettings& settings) override {
    FixedShareSettings::apply(settings);
    jitterMaxMicros = std::llround(settings.jitterSeconds * 1e6);
  }

 private:
  std::mt19937_64 random_{std::random_device{}()};
};

/// A number of seconds from the command line: finite, 0 or more, at most a
/// day (more would be a mistake). Nothing for anything else.
std::optional<double> secondsOption(const QString& text);

}  // namespace quillet::term
