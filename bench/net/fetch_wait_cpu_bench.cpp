// CPU spent by a GUI thread while a fetch waits (the captcha download's wait): fetchWithTimeout
// against an address that never answers, with a 10 s deadline, while a timer posts an event
// every 100 ms as a window would. Quillet's wait (it sleeps in Qt's event dispatcher until an
// event, the worker or the deadline wakes it) beside a baseline that wakes every 5 ms to handle
// events. Prints the process's CPU time as a share of one core and the events handled.
// The server's port comes from QUILLET_BENCH_PORT (bench/net/run.sh starts the server); the
// wait's length from QUILLET_BENCH_WAIT_SECONDS (10 when not set).
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/fetch_with_timeout.h"
#include "signin/fetch_wait_pump.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void measure(const char* label, const std::string& url, double waitSeconds, const int& ticks) {
  const int ticksBefore = ticks;
  const double cpuBefore = cpuSeconds();
  const auto start = Clock::now();
  std::string address = url;
  const std::string result = quillet::fetchWithTimeout(
      address, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, waitSeconds);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = cpuSeconds() - cpuBefore;
  std::printf(
      "%4.0f s fetch wait   %-28s CPU %6.2f %% of a core (%5.0f ms)   events handled %4d%s\n",
      waitSeconds, label, 100.0 * cpu / wall, cpu * 1000.0, ticks - ticksBefore,
      result == quillet::fetchTimeoutMessage() ? "" : "   (no time-out?)");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const char* port = std::getenv("QUILLET_BENCH_PORT");
  const char* secondsText = std::getenv("QUILLET_BENCH_WAIT_SECONDS");
  const double waitSeconds = secondsText != nullptr ? std::atof(secondsText) : 10.0;
  const std::string url =
      std::string("http://127.0.0.1:") + (port != nullptr ? port : "1") + "/silent";

  int ticks = 0;
  QTimer window;
  QObject::connect(&window, &QTimer::timeout, [&ticks] { ++ticks; });
  window.start(100);

  quillet::setFetchWaitPump(quillet::qtFetchWaitPump());
  measure("Quillet (sleeps until woken)", url, waitSeconds, ticks);

  // The baseline: handle what is there, sleep 5 ms, look again.
  quillet::FetchWaitPump polling;
  polling.waitAndDispatch = [](Clock::time_point until) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    std::this_thread::sleep_until(std::min(until, Clock::now() + std::chrono::milliseconds(5)));
  };
  polling.wake = [] {};
  quillet::setFetchWaitPump(polling);
  measure("baseline polling every 5 ms", url, waitSeconds, ticks);
  quillet::setFetchWaitPump({});
  return 0;
}
