#include "net/worker_reaper.h"

#include <chrono>

namespace quillet {

WorkerReaper& WorkerReaper::instance() {
  static WorkerReaper reaper;
  return reaper;
}

WorkerReaper::WorkerReaper() = default;

WorkerReaper::~WorkerReaper() {
  std::vector<Entry> entries;
  {
    std::lock_guard lock(mutex_);
    entries.swap(entries_);
  }
  for (Entry& entry : entries) entry.exchange->cancel.store(true);
  // Cancelled workers end within moments; one stuck where cancelling does not reach (a name
  // look-up, say) must not hold the process at its exit. It is let go: everything it still uses
  // (its exchange, the cookie jar, libcurl) stays valid until the process is gone.
  const auto deadline = std::chrono::steady_clock::now() + kExitGrace;
  for (Entry& entry : entries) {
    bool done;
    {
      std::unique_lock lock(entry.exchange->mutex);
      done = entry.exchange->finished.wait_until(lock, deadline,
                                                 [&entry] { return entry.exchange->done; });
    }
    if (done) {
      entry.thread.join();
    } else {
      entry.thread.detach();
    }
  }
}

void WorkerReaper::adopt(std::thread worker, std::shared_ptr<HttpExchange> exchange) {
  joinFinished();
  std::lock_guard lock(mutex_);
  entries_.push_back({std::move(worker), std::move(exchange)});
}

std::size_t WorkerReaper::pending() {
  joinFinished();
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void WorkerReaper::joinFinished() {
  std::vector<Entry> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
      bool done;
      {
        std::lock_guard exchangeLock(it->exchange->mutex);
        done = it->exchange->done;
      }
      if (done) {
        finished.push_back(std::move(*it));
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (Entry& entry : finished) entry.thread.join();
}

}  // namespace quillet
