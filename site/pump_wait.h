#pragma once

#include <cstdint>
#include <functional>

namespace quillet {

/// Waits `microseconds` (multiplied by the process-wide time scale) while the
/// GUI thread keeps dispatching every event: the window repaints and other
/// handlers, including further waits, run inside the wait. Zero or less
/// returns at once. The thread sleeps in the event dispatcher meanwhile; a
/// precise timer ends the wait.
void pumpWait(std::int32_t microseconds);

/// The same wait for a duration that is not scaled any more. False when it
/// was cut short because the application is quitting (every event loop of
/// the thread has been told to exit), so that a caller can stop its work.
bool pumpWaitUnscaled(std::int64_t microseconds);

/// How an interruptible wait ended.
enum class WaitEnd { Elapsed, Interrupted, Quitting };

/// pumpWaitUnscaled that can be ended early: while it runs, `interrupt` holds
/// a function that ends it (a pause or stop pressed during the wait); it is
/// emptied again before the wait returns.
WaitEnd pumpWaitInterruptible(std::int64_t microseconds, std::function<void()>& interrupt);

}  // namespace quillet
