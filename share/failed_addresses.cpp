#include "share/failed_addresses.h"

#include <QListWidget>
#include <algorithm>

namespace quillet {

void FailedAddresses::remove(const QString& address, std::int32_t& failedCount) {
  if (box_ == nullptr) return;
  for (int i = box_->count() - 1; i >= 0; --i) {
    if (box_->item(i)->text() != address) continue;
    delete box_->takeItem(i);
    if (i < failedCount) --failedCount;
  }
}

void FailedAddresses::recordFailure(const QString& address, std::int32_t& failedCount) {
  if (box_ == nullptr) return;
  remove(address, failedCount);
  const int at = std::clamp(failedCount, 0, box_->count());
  box_->insertItem(at, address);
  failedCount = at + 1;
}

void FailedAddresses::recordSuccess(const QString& address, std::int32_t& failedCount) {
  remove(address, failedCount);
}

int FailedAddresses::count() const {
  return box_ == nullptr ? 0 : box_->count();
}

QStringList FailedAddresses::addresses() const {
  QStringList out;
  for (int i = 0; i < count(); ++i) out << box_->item(i)->text();
  return out;
}

}  // namespace quillet
