#include "share/run_context.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

#include "site/pump_wait.h"
#include "site/time_scale.h"

namespace quillet {

bool holdWhilePaused(const std::shared_ptr<RunContext>& context, bool finishing) {
  const std::shared_ptr<RunContext> keep = context;
  // A stop ends the hold: a step that must be completed (reading the result
  // of a confirmed share) is completed, and the pass ends after it. Held on,
  // the stop would wait for a 继续 that the user has no reason to press.
  while (keep->paused && !keep->mustEnd(finishing) && !keep->stopRequested) {
    if (QCoreApplication::instance() == nullptr) return false;  // nobody could continue
    QEventLoop loop;
    bool woken = false;
    const std::function<void()> outer = std::exchange(keep->interrupt, [&loop, &woken] {
      woken = true;
      loop.quit();
    });
    loop.exec(QEventLoop::AllEvents);
    keep->interrupt = outer;
    // Without a wake-up of ours the loop ended because the application is quitting.
    if (!woken) keep->quitting = true;
  }
  return !keep->mustEnd(finishing);
}

bool pauseFor(const std::shared_ptr<RunContext>& context, std::int64_t microseconds,
              bool finishing) {
  // Keep the context (and the wait function in it) alive through the wait.
  const std::shared_ptr<RunContext> keep = context;
  constexpr std::int64_t kLongestWait = std::numeric_limits<std::int32_t>::max();
  for (;;) {
    if (!holdWhilePaused(keep, finishing)) return false;
    if (microseconds <= 0) return true;
    const auto piece = static_cast<std::int32_t>(std::min(microseconds, kLongestWait));
    const auto wait = keep->wait;
    const std::int64_t left = wait ? std::clamp<std::int64_t>(wait(piece), 0, piece) : 0;
    microseconds -= piece - left;
    if (keep->mustEnd(finishing)) return false;
  }
}

std::int64_t interruptibleWait(RunContext& context, std::int32_t designedMicros) {
  const double scale = timeScale();
  const std::int64_t scaled = scaledMicros(designedMicros);
  const auto started = std::chrono::steady_clock::now();
  const WaitEnd end = pumpWaitInterruptible(scaled, context.interrupt);
  if (end == WaitEnd::Elapsed) return 0;
  if (end == WaitEnd::Quitting) context.quitting = true;
  // Convert the real time still left back to designed time.
  const auto waited = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
  const std::int64_t leftScaled = std::max<std::int64_t>(0, scaled - waited);
  const auto left = scale > 0 ? static_cast<std::int64_t>(static_cast<double>(leftScaled) / scale)
                              : std::int64_t{0};
  return std::clamp<std::int64_t>(left, 0, designedMicros);
}

}  // namespace quillet
