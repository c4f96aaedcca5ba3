#pragma once

#include <chrono>
#include <cstdint>

namespace quillet {

/// The process-wide factor applied to every designed wait (splash ticks,
/// pumpWait). 1.0 unless QUILLET_TIME_SCALE holds a positive number; tests
/// and soak runs set it small so that a pass over many rows takes seconds.
double timeScale();

/// Overrides the factor for the rest of the process (tests, benchmarks).
void setTimeScale(double scale);

/// `micros` multiplied by the time scale, truncated toward zero.
std::int64_t scaledMicros(std::int64_t micros);

}  // namespace quillet
