// Measures pumpWait(1600000), the wait before a result is read, at time scale 1: how far past its
// deadline it returns (p50 and max, milliseconds) and the process CPU time spent while waiting, as
// a share of the time waited.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "share/designed_waits.h"
#include "site/pump_wait.h"
#include "site/time_scale.h"

namespace {

double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  quillet::setTimeScale(1.0);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
  constexpr std::int32_t kMicros = quillet::RowWaits::kResult;

  std::vector<double> overshootMs;
  double waitedSeconds = 0.0;
  const double cpuBefore = cpuSeconds();
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    quillet::pumpWait(kMicros);
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    waitedSeconds += elapsed.count();
    overshootMs.push_back(elapsed.count() * 1000.0 - kMicros / 1000.0);
  }
  const double cpuUsed = cpuSeconds() - cpuBefore;

  std::sort(overshootMs.begin(), overshootMs.end());
  std::printf("runs %d of %d us\n", runs, kMicros);
  std::printf("overshoot_p50_ms %.3f\n", overshootMs[overshootMs.size() / 2]);
  std::printf("overshoot_min_ms %.3f\n", overshootMs.front());
  std::printf("overshoot_max_ms %.3f (target < 2)\n", overshootMs.back());
  std::printf("cpu_ms %.3f over %.1f s waited = %.4f%% (target < 1%%)\n", cpuUsed * 1000.0,
              waitedSeconds, 100.0 * cpuUsed / waitedSeconds);
  return 0;
}
