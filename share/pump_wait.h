#pragma once

#include <cstdint>

namespace quillet {

/// Waits `microseconds` (multiplied by the process-wide time scale) while the
/// GUI thread keeps dispatching every event: the window repaints and other
/// handlers, including further waits, run inside the wait. Zero or less
/// returns at once. The thread sleeps in the event dispatcher meanwhile; a
/// precise timer ends the wait.
void PumpWait(std::int32_t microseconds);

/// The same wait for an unscaled duration, for callers that have already
/// applied the time scale.
void PumpWaitUnscaled(std::int64_t microseconds);

}  // namespace quillet
