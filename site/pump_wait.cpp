#include "site/pump_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "site/time_scale.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

// Qt timers count whole milliseconds and the event dispatcher rounds its
// sleep up to the next one, so a timer aimed at the deadline itself lands up
// to two milliseconds late. The timer is aimed one millisecond short instead
// and the last fraction is slept off (less than two milliseconds, never a
// busy loop).
constexpr auto kSleepOffLimit = std::chrono::microseconds(2000);

int timerIntervalUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  const std::int64_t ms = left.count() - 1;
  if (ms <= 0) return 0;
  return static_cast<int>(std::min<std::int64_t>(ms, std::numeric_limits<int>::max()));
}

}  // namespace

bool PumpWaitUnscaled(std::int64_t microseconds) {
  if (microseconds <= 0) return true;
  const auto deadline = Clock::now() + std::chrono::microseconds(microseconds);

  if (QCoreApplication::instance() == nullptr) {
    // No event dispatcher to serve: nothing can be pumped, so just sleep.
    std::this_thread::sleep_until(deadline);
    return true;
  }

  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, [&loop, &timer, deadline] {
    if (deadline - Clock::now() > kSleepOffLimit) {
      timer.start(timerIntervalUntil(deadline));  // a very long wait: aim again
      return;
    }
    std::this_thread::sleep_until(deadline);
    loop.quit();
  });
  timer.start(timerIntervalUntil(deadline));
  // exec() returns early only when the application is quitting (every
  // event loop of the thread is told to exit); the wait then ends too.
  loop.exec(QEventLoop::AllEvents);
  return Clock::now() >= deadline;
}

void PumpWait(std::int32_t microseconds) {
  if (microseconds <= 0) return;
  PumpWaitUnscaled(scaledMicros(microseconds));
}

}  // namespace quillet
