#include "site/pump_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

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

WaitEnd pumpWaitInterruptible(std::int64_t microseconds, std::function<void()>& interrupt) {
  if (microseconds <= 0) return WaitEnd::Elapsed;
  const auto deadline = Clock::now() + std::chrono::microseconds(microseconds);

  if (QCoreApplication::instance() == nullptr) {
    // No event dispatcher to serve: nothing can be pumped or interrupted.
    std::this_thread::sleep_until(deadline);
    return WaitEnd::Elapsed;
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
  bool interrupted = false;
  const std::function<void()> outer = std::exchange(interrupt, [&loop, &interrupted] {
    interrupted = true;
    loop.quit();
  });
  timer.start(timerIntervalUntil(deadline));
  // exec() returns early when interrupted, or when the application is
  // quitting (every event loop of the thread is told to exit).
  loop.exec(QEventLoop::AllEvents);
  interrupt = outer;
  if (Clock::now() >= deadline) return WaitEnd::Elapsed;
  return interrupted ? WaitEnd::Interrupted : WaitEnd::Quitting;
}

bool pumpWaitUnscaled(std::int64_t microseconds) {
  std::function<void()> unused;
  return pumpWaitInterruptible(microseconds, unused) == WaitEnd::Elapsed;
}

void pumpWait(std::int32_t microseconds) {
  if (microseconds <= 0) return;
  pumpWaitUnscaled(scaledMicros(microseconds));
}

}  // namespace quillet
