#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/http_request.h"
#include "net/http_request_record.h"

namespace quillet {

/// What one caller and its worker thread share: the request record, the caller's "give up" and
/// the worker's "finished". The caller leaves `record` alone until `done`; a worker that was
/// cancelled sets `done` without writing the record back.
struct HttpExchange {
  HttpRequestRecord record;
  BodySink sink;  // when set, the body goes here (on the worker thread) instead of into slot 0
  std::size_t maxBodyBytes = kMaxBodyInMemory;
  std::atomic<bool> cancel{false};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;       // guarded by mutex
  std::string incomplete;  // why the answer is not whole; written with the record
  // Called, under mutex, when the worker is done: wakes a caller that sleeps in its own event
  // dispatcher. The caller clears it (under mutex) before it stops waiting.
  std::function<void()> wake;
};

/// The worker thread's start routine: runs the request engine on a copy of the exchange's record
/// and, unless cancelled meanwhile, writes the results back in one step as its last act.
void httpWorkerEntry(std::shared_ptr<HttpExchange> exchange);

}  // namespace quillet
