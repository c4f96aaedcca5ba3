#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>

namespace quillet {

// What the site knows about one visitor, named by the session cookie.
struct Session {
  std::string captcha;         // text of the last captcha shown; empty when none is open
  std::string user;            // the signed-in account; empty when signed out
  int pendingItem = 0;         // an item accepted by the address check, awaiting confirm
  std::string pendingAddress;  // that item's address as it was entered
  std::string pendingToken;    // ties the confirm to that check
  std::uint64_t lastUse = 0;
};

// Sessions by id, safe to use from the server's worker threads. Holds at most
// `capacity` sessions; beyond that the least recently used one is forgotten, so
// a client that never sends its cookie back cannot grow the store without end.
class SessionStore {
 public:
  explicit SessionStore(std::size_t capacity = 4096);

  // A new, empty session; returns its id (32 random hex digits).
  std::string create(Session initial = {});
  // Runs `change` on the session under the store's lock; false when there is no such session.
  bool update(const std::string& id, const std::function<void(Session&)>& change);
  std::optional<Session> find(const std::string& id) const;
  void erase(const std::string& id);
  std::size_t size() const;

  // A random hex text of `digits` digits, from the operating system's randomness.
  static std::string randomHex(std::size_t digits);

 private:
  std::size_t capacity_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Session> sessions_;
  std::uint64_t clock_ = 0;
};

}  // namespace quillet
