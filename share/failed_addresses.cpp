#include "share/failed_addresses.h"

#include <algorithm>

namespace quillet {

bool FailedAddresses::remove(const QString& address, std::int32_t& failedCount) {
  bool removed = false;
  for (int i = count() - 1; i >= 0; --i) {
    if (entries_.at(i) != address) continue;
    entries_.removeAt(i);
    removed = true;
    if (i < failedCount) --failedCount;
  }
  return removed;
}

void FailedAddresses::recordFailure(const QString& address, std::int32_t& failedCount) {
  remove(address, failedCount);
  const int at = std::clamp(failedCount, 0, count());
  entries_.insert(at, address);
  failedCount = at + 1;
  Q_EMIT changed();
}

void FailedAddresses::recordSuccess(const QString& address, std::int32_t& failedCount) {
  if (remove(address, failedCount)) Q_EMIT changed();
}

void FailedAddresses::setAddresses(const QStringList& addresses) {
  if (addresses == entries_) return;
  entries_ = addresses;
  Q_EMIT changed();
}

}  // namespace quillet
