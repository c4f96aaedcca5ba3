#include "demo/session_store.h"

#include <algorithm>

namespace quillet {

SessionStore::SessionStore(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

std::string SessionStore::randomHex(std::size_t digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device device;
  std::string out;
  out.reserve(digits);
  while (out.size() < digits) {
    auto bits = device();
    for (int i = 0; i < 8 && out.size() < digits; ++i, bits >>= 4) out += kHex[bits & 0xf];
  }
  return out;
}

std::string SessionStore::create(Session initial) {
  std::string id = randomHex(32);
  std::lock_guard lock(mutex_);
  while (sessions_.count(id) != 0) id = randomHex(32);
  if (sessions_.size() >= capacity_) {
    const auto oldest = std::min_element(
        sessions_.begin(), sessions_.end(),
        [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
    sessions_.erase(oldest);
  }
  initial.lastUse = ++clock_;
  sessions_.emplace(id, std::move(initial));
  return id;
}

bool SessionStore::update(const std::string& id, const std::function<void(Session&)>& change) {
  std::lock_guard lock(mutex_);
  const auto found = sessions_.find(id);
  if (found == sessions_.end()) return false;
  found->second.lastUse = ++clock_;
  change(found->second);
  return true;
}

std::optional<Session> SessionStore::find(const std::string& id) const {
  std::lock_guard lock(mutex_);
  const auto found = sessions_.find(id);
  if (found == sessions_.end()) return std::nullopt;
  return found->second;
}

void SessionStore::erase(const std::string& id) {
  std::lock_guard lock(mutex_);
  sessions_.erase(id);
}

std::size_t SessionStore::size() const {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

}  // namespace quillet
