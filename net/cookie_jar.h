#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/cookie.h"

namespace quillet {

/// The process-wide cookie store that every HTTP transfer of the program shares, and that the
/// browser bridge keeps in step with the browser engine's own store.
///
/// Transfers send the stored cookies that match their address and keep the cookies they receive
/// (unless a request asks to leave cookies out). All members are thread-safe; transfers run on
/// worker threads.
///
/// Listeners hear of every change to the stored cookies: cookies that a transfer received, set()
/// and remove() calls, and cookies that expired. A call that changes nothing (setting a cookie
/// that is already stored exactly so) notifies no one, so two stores that mirror each other through
/// listeners settle instead of echoing forever. Listeners may be called on a worker thread, must
/// not block on a thread that may itself call removeListener(), and may call the jar themselves.
class CookieJar {
 public:
  using Listener = std::function<void(const Cookie& cookie, bool removed)>;

  static CookieJar& instance();

  CookieJar(const CookieJar&) = delete;
  CookieJar& operator=(const CookieJar&) = delete;

  /// Every stored cookie that has not expired.
  std::vector<Cookie> all() const;

  /// Adds `cookie`, or replaces the stored one with the same domain, path and name. A cookie
  /// without a domain or a name, with a domain that begins with "#", with a tab or line break in a
  /// field, or a domain cookie (".x") for a public suffix or a part of an address, is ignored. A
  /// cookie whose `expires` lies in the past removes the stored one.
  void set(const Cookie& cookie);

  /// Removes the stored cookie with the same domain, path and name as `cookie`, if any.
  void remove(const Cookie& cookie);

  /// Stores a cookie the way a "Set-Cookie: " header line received from `host` would: `nameValue`
  /// is "name=value" followed by optional attributes ("; path=/; expires=...; domain=...;
  /// max-age=...; secure; httponly"). A Domain attribute that `host` does not belong to, that is a
  /// public suffix ("com", "co.uk", after the Public Suffix List) or that is part of an address
  /// (".0.0.1") is ignored: the cookie stays host-only. A Max-Age too large to add to the clock
  /// means the latest time there is. Returns false when the text holds no "name=".
  bool setFromHeader(const std::string& host, const std::string& nameValue);

  /// The cookies of one answer from `host`: every Set-Cookie value stored as setFromHeader()
  /// would, and listeners told once at the end, in time proportional to the number of cookies.
  /// Stops early, keeping what it stored, when `cancel` becomes true. Returns how many were stored.
  std::size_t storeFromHeaders(const std::string& host, const std::vector<std::string>& nameValues,
                               const std::atomic<bool>* cancel = nullptr);

  /// The cookie that a Set-Cookie value from `host` describes, without storing it; nothing when
  /// it holds no "name=". (A cookie with an expiry already past stands for a removal.)
  static std::optional<Cookie> parseSetCookie(const std::string& host,
                                              const std::string& nameValue);

  /// Removes every cookie (tests, sign-out).
  void clear();

  /// Registers `listener`; returns a token for removeListener().
  int addListener(Listener listener);

  /// Unregisters a listener. When it returns, the listener is not running on any other thread and
  /// will not be called again.
  void removeListener(int token);

  /// Compares the stored cookies with those last reported and notifies listeners of the
  /// differences. The transfer engine calls this after every transfer.
  void publishChanges();

  /// The libcurl share handle (CURLSH*) that carries the cookies between transfers.
  void* shareHandle() const;

 private:
  CookieJar();
  ~CookieJar();

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quillet
