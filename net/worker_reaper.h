#pragma once

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "net/http_worker.h"

namespace quillet {

/// Keeps the worker threads whose callers gave up on them until they have wound down, and joins
/// them: finished ones whenever another is handed over, the rest at process exit (after
/// cancelling them), so that no worker outlives the cookie jar it uses.
class WorkerReaper {
 public:
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
