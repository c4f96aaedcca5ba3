#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace quillet {

/// What a running pass shares with the waits inside it. Held by shared
/// pointer: a wait may outlive the engine that started it (the window can
/// be torn down while a handler waits), so the pass checks `alive` after
/// every wait before it touches anything of the engine again.
struct RunContext {
  bool alive = true;                       // false once the engine is gone
  bool stopRequested = false;              // the pass ends at its next wait
  std::function<void(std::int32_t)> wait;  // PumpWait, or a test's stand-in
};

/// Waits `microseconds` (designed time, scaled by the wait itself) in pieces
/// that each fit one wait. False when the pass has to end: its engine is
/// gone or a stop was requested.
bool pauseFor(const std::shared_ptr<RunContext>& context, std::int64_t microseconds);

}  // namespace quillet
