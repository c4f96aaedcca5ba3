#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "net/http_request.h"

namespace quillet {

/// What a caller may ask of a fetch beyond the original arguments, and what it may learn.
struct FetchExtras {
  /// The most body bytes held in memory (fetchWithTimeout); a larger body fails the request.
  std::size_t maxBodyBytes = kMaxBodyInMemory;
  /// When given: why the answer is not whole (it broke off after its headers, or its body
  /// outgrew the limit); empty when it is, and untouched at a time-out.
  std::string* incomplete = nullptr;
};

/// Fetches one address on a worker thread and gives up at a deadline, while the calling thread
/// keeps dispatching its events through the installed wait pump (see setFetchWaitPump).
///
/// Optional arguments are told apart from passed ones also where the passed value is 0 or empty:
/// - `address` (in/out, GBK/UTF-8 bytes): a blank address (spaces, tabs, line breaks only) returns
///   empty bytes at once and is left untouched. An address that does not begin with "http://" or
///   "https://" (in any case) gets "http://" in front of it, written back into the variable.
/// - `method`: 1 is "POST", anything else or left out "GET".
/// - `proxy`: "host:port" of an HTTP proxy for http addresses; empty or left out: direct.
/// - `headers`: extra request header lines, each ending in "\r\n".
/// - `body`: request body, sent with POST.
/// - `cookies`: the text to follow "Cookie: "; a non-blank text replaces the jar's cookies.
/// - `timeoutSeconds`: 60 when left out; 0 or less always times out.
/// - `receivedHeaders`, `receivedCookies`: written only when not null, and not at a time-out.
/// - `responseEncoding`: 1 converts a UTF-8 body to GBK, 2 a Big5 body to simplified GBK; any
///   other value or left out returns the body byte for byte.
/// - `followRedirects`: true when left out.
///
/// Returns the body bytes, or at the deadline the GBK bytes of fetchTimeoutMessage(). At the
/// deadline the worker's transfer is cancelled and the call returns at once; nothing the worker
/// does afterwards reaches the caller or its variables. A failed request returns empty bytes.
std::string fetchWithTimeout(std::string& address, std::optional<int> method = std::nullopt,
                             std::optional<std::string> proxy = std::nullopt,
                             std::optional<std::string> headers = std::nullopt,
                             std::optional<std::string> body = std::nullopt,
                             std::optional<std::string> cookies = std::nullopt,
                             std::optional<double> timeoutSeconds = std::nullopt,
                             std::string* receivedHeaders = nullptr,
                             std::optional<int> responseEncoding = std::nullopt,
                             std::string* receivedCookies = nullptr,
                             std::optional<bool> followRedirects = std::nullopt,
                             const FetchExtras& extras = {});

/// fetchWithTimeout for bodies too large to hold: the body goes to `sink`, on the worker thread,
/// piece by piece as it arrives, and the result is empty (or the time-out message at the
/// deadline). There is no response encoding: converting needs the whole body. No piece is handed
/// over after the deadline, but a sink call under way at that moment may end after this call has
/// returned, so the sink must own (or share) whatever it writes to.
std::string fetchWithTimeoutToSink(BodySink sink, std::string& address,
                                   std::optional<int> method = std::nullopt,
                                   std::optional<std::string> proxy = std::nullopt,
                                   std::optional<std::string> headers = std::nullopt,
                                   std::optional<std::string> body = std::nullopt,
                                   std::optional<std::string> cookies = std::nullopt,
                                   std::optional<double> timeoutSeconds = std::nullopt,
                                   std::string* receivedHeaders = nullptr,
                                   std::string* receivedCookies = nullptr,
                                   std::optional<bool> followRedirects = std::nullopt,
                                   const FetchExtras& extras = {});

/// The GBK bytes of the message fetchWithTimeout returns at its deadline (no terminating zero).
std::string fetchTimeoutMessage();

/// How a thread with events of its own (a GUI thread) waits for a fetch: it sleeps in its event
/// dispatcher and handles its events as they come, and the worker wakes it when it finishes. No
/// part of the wait polls.
struct FetchWaitPump {
  /// Sleeps until an event for the thread arrives, `until` passes or wake() is called, and
  /// handles the events that arrived (the GUI layer lets Qt's event dispatcher wait for more
  /// events). May return early for any reason; the fetch calls it again as long as it waits.
  std::function<void(std::chrono::steady_clock::time_point until)> waitAndDispatch;
  /// Makes a waitAndDispatch() under way, or the next one, return soon. Called on the worker
  /// thread, only while a fetch of the installing thread waits.
  std::function<void()> wake;

  explicit operator bool() const { return waitAndDispatch && wake; }
};

/// Installs the process-wide pump through which fetchWithTimeout waits, so that a GUI thread
/// keeps handling its events. The pump runs only on the thread that installed it; other threads
/// wait on the worker alone. An empty pump removes it. A pump's events may start a further
/// fetch; that nested call returns before the outer wait resumes.
void setFetchWaitPump(FetchWaitPump pump);

}  // namespace quillet
