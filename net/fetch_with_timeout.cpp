#include "net/fetch_with_timeout.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "net/http_worker.h"
#include "net/url_text.h"
#include "net/worker_reaper.h"
#include "text/code_page_conversion.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;

struct WaitPump {
  std::mutex mutex;
  FetchWaitPump pump;
  std::thread::id owner;
};

WaitPump& waitPump() {
  static WaitPump pump;
  return pump;
}

FetchWaitPump pumpForThisThread() {
  WaitPump& wp = waitPump();
  std::lock_guard lock(wp.mutex);
  if (!wp.pump || wp.owner != std::this_thread::get_id()) return {};
  return wp.pump;
}

// The deadline in milliseconds: seconds times 1000, truncated toward zero into 32 bits.
std::int64_t timeoutMilliseconds(std::optional<double> timeoutSeconds) {
  if (!timeoutSeconds) return 60000;
  const double ms = std::trunc(*timeoutSeconds * 1000.0);
  if (std::isnan(ms)) return 0;
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int64_t>(std::clamp(ms, kMin, kMax));
}

bool hasScheme(std::string_view address) {
  return isSecureAddress(address) ||
         (address.size() >= 7 && findIgnoringCase(address.substr(0, 7), "http://") == 0);
}

std::string fetch(BodySink sink, std::string& address, std::optional<int> method,
                  std::optional<std::string> proxy, std::optional<std::string> headers,
                  std::optional<std::string> body, std::optional<std::string> cookies,
                  std::optional<double> timeoutSeconds, std::string* receivedHeaders,
                  std::optional<int> responseEncoding, std::string* receivedCookies,
                  std::optional<bool> followRedirects, const FetchExtras& extras) {
  if (trimBlanks(address).empty()) return {};
  if (!hasScheme(address)) address.insert(0, "http://");

  auto exchange = std::make_shared<HttpExchange>();
  exchange->record = {address,
                      method == 1 ? "POST" : "GET",
                      proxy.value_or(std::string()),
                      headers.value_or(std::string()),
                      body.value_or(std::string()),
                      cookies.value_or(std::string()),
                      followRedirects.value_or(true) ? kFollowRedirectsText : "\xBC\xD9"};  // 假
  exchange->sink = std::move(sink);
  exchange->maxBodyBytes = extras.maxBodyBytes;
  const FetchWaitPump pump = pumpForThisThread();
  if (pump) exchange->wake = pump.wake;

  std::thread worker;
  try {
    worker = std::thread(httpWorkerEntry, exchange);
  } catch (const std::system_error&) {
    // No worker: the wait below runs into the deadline and reports a time-out.
  }

  const auto start = Clock::now();
  const std::int64_t timeoutMs = timeoutMilliseconds(timeoutSeconds);
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  bool timedOut = false;
  const auto isDone = [&exchange] {
    std::lock_guard lock(exchange->mutex);
    return exchange->done;
  };
  for (;;) {
    bool finished;
    if (pump) {
      // The thread's own events are handled while it sleeps; the worker's wake-up or the
      // deadline ends the sleep.
      finished = isDone();
      if (!finished && Clock::now() < deadline) pump.waitAndDispatch(deadline);
      finished = isDone();
    } else {
      std::unique_lock lock(exchange->mutex);
      finished = exchange->finished.wait_until(lock, deadline, [&] { return exchange->done; });
    }
    const double elapsedMs =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // A worker that finishes in the same pass in which the deadline is found past still counts
    // as too late.
    timedOut = elapsedMs - static_cast<double>(timeoutMs) >= -0.0000001;
    if (timedOut || finished) break;
  }
  {
    // The worker wakes this thread no more: the pump may be gone once this call has returned.
    std::lock_guard lock(exchange->mutex);
    exchange->wake = nullptr;
  }

  if (timedOut) {
    exchange->cancel.store(true);
    if (worker.joinable()) WorkerReaper::instance().adopt(std::move(worker), exchange);
    return fetchTimeoutMessage();
  }
  worker.join();

  if (extras.incomplete != nullptr) *extras.incomplete = exchange->incomplete;
  HttpRequestRecord& record = exchange->record;
  if (record.size() != kHttpRecordSlots) return record.empty() ? std::string() : record[0];
  if (receivedHeaders != nullptr) *receivedHeaders = record[kSlotResponseHeaders];
  if (receivedCookies != nullptr) *receivedCookies = record[kSlotReceivedCookies];
  switch (responseEncoding.value_or(0)) {
    case 1:
      return utf8ToGbk(record[kSlotResponseBody]);
    case 2:
      return big5ToSimplifiedGbk(record[kSlotResponseBody]);
    default:
      return std::move(record[kSlotResponseBody]);
  }
}

}  // namespace

std::string fetchTimeoutMessage() {
  static const std::string message = utf8ToGbk(
      "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些"
      "。");
  return message;
}

void setFetchWaitPump(FetchWaitPump pump) {
  WaitPump& wp = waitPump();
  std::lock_guard lock(wp.mutex);
  wp.pump = std::move(pump);
  wp.owner = std::this_thread::get_id();
}

std::string fetchWithTimeout(std::string& address, std::optional<int> method,
                             std::optional<std::string> proxy, std::optional<std::string> headers,
                             std::optional<std::string> body, std::optional<std::string> cookies,
                             std::optional<double> timeoutSeconds, std::string* receivedHeaders,
                             std::optional<int> responseEncoding, std::string* receivedCookies,
                             std::optional<bool> followRedirects, const FetchExtras& extras) {
  return fetch({}, address, method, std::move(proxy), std::move(headers), std::move(body),
               std::move(cookies), timeoutSeconds, receivedHeaders, responseEncoding,
               receivedCookies, followRedirects, extras);
}

std::string fetchWithTimeoutToSink(BodySink sink, std::string& address, std::optional<int> method,
                                   std::optional<std::string> proxy,
                                   std::optional<std::string> headers,
                                   std::optional<std::string> body,
                                   std::optional<std::string> cookies,
                                   std::optional<double> timeoutSeconds,
                                   std::string* receivedHeaders, std::string* receivedCookies,
                                   std::optional<bool> followRedirects, const FetchExtras& extras) {
  return fetch(std::move(sink), address, method, std::move(proxy), std::move(headers),
               std::move(body), std::move(cookies), timeoutSeconds, receivedHeaders, std::nullopt,
               receivedCookies, followRedirects, extras);
}

}  // namespace quillet
