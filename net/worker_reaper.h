#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "net/http_worker.h"

namespace quillet {

/// Keeps the worker threads whose callers gave up on them until they have wound down, and joins
/// them: finished ones whenever another is handed over, the rest at process exit after
/// cancelling them. The exit waits at most kExitGrace for them; a worker still running then is
/// detached (what it uses lives until the process ends).
class WorkerReaper {
 public:
  static constexpr std::chrono::milliseconds kExitGrace{2000};

  static WorkerReaper& instance();

  /// Takes over `worker`, whose exchange has been cancelled.
  void adopt(std::thread worker, std::shared_ptr<HttpExchange> exchange);

  /// Workers handed over and not yet joined.
  std::size_t pending();

 private:
  WorkerReaper();
  ~WorkerReaper();
  void joinFinished();

  struct Entry {
    std::thread thread;
    std::shared_ptr<HttpExchange> exchange;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace quillet
