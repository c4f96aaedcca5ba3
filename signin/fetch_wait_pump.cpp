#include "signin/fetch_wait_pump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace quillet {

FetchWaitPump qtFetchWaitPump() {
  FetchWaitPump pump;
  pump.waitAndDispatch = [](std::chrono::steady_clock::time_point until) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      QCoreApplication::processEvents();
      return;
    }
    // The timer's event ends the sleep at the deadline; any other event, or the worker's wake-up,
    // ends it sooner.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(static_cast<int>(std::min<long long>(left.count(), INT_MAX)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  };
  // The dispatcher of the installing thread; the worker only calls this while a fetch of that
  // thread waits, so the dispatcher is alive.
  QPointer<QAbstractEventDispatcher> dispatcher = QAbstractEventDispatcher::instance();
  pump.wake = [dispatcher] {
    if (dispatcher) dispatcher->wakeUp();
  };
  return pump;
}

}  // namespace quillet
