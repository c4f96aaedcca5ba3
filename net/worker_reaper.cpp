#include "net/worker_reaper.h"

#include "net/cookie_jar.h"

namespace quillet {

WorkerReaper& WorkerReaper::instance() {
  static WorkerReaper reaper;
  return reaper;
}

// Made after the jar, so destroyed before it: the last workers are joined while the jar stands.
WorkerReaper::WorkerReaper() {
  CookieJar::instance();
}

WorkerReaper::~WorkerReaper() {
  std::vector<Entry> entries;
  {
    std::lock_guard lock(mutex_);
    entries.swap(entries_);
  }
  for (Entry& entry : entries) {
    entry.exchange->cancel.store(true);
    if (entry.thread.joinable()) entry.thread.join();
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
