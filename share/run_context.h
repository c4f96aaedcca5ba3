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
  bool alive = true;           // false once the engine is gone
  bool quitting = false;       // the application is quitting: end at once
  bool stopRequested = false;  // the user's stop: end at the next step boundary
  bool paused = false;         // hold at the next wait or step boundary

  /// Waits a piece of designed time (µs, unscaled) and returns the designed
  /// time still left when it was cut short by interrupt() (0 when it ran out).
  std::function<std::int64_t(std::int32_t)> wait;
  /// Set while a wait or a hold runs: ends it early (pause, stop, continue).
  std::function<void()> interrupt;

  /// Whether the pass has to end now (engine gone, quitting, or stopped when
  /// the step in progress may be abandoned).
  bool mustEnd(bool finishing = false) const {
    return !alive || quitting || (stopRequested && !finishing);
  }
};

/// Waits `microseconds` of designed time in pieces that each fit one wait,
/// holding while the pass is paused: time spent paused does not count toward
/// the wait. False when the pass has to end instead. With `finishing` a stop
/// request does not cut the wait short (a step that must be completed, such
/// as reading the result of a confirmed share).
bool pauseFor(const std::shared_ptr<RunContext>& context, std::int64_t microseconds,
              bool finishing = false);

/// Holds while the pass is paused, keeping the window working. False when the
/// pass has to end instead.
bool holdWhilePaused(const std::shared_ptr<RunContext>& context, bool finishing = false);

/// The engine's own wait: pumpWait for the scaled duration, ended early by the
/// context's interrupt(). Returns the designed time left; marks the context
/// as quitting when the application's event loops are told to exit.
std::int64_t interruptibleWait(RunContext& context, std::int32_t designedMicros);

}  // namespace quillet
