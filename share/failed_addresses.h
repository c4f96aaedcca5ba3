#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QListWidget;

namespace quillet {

/// The failed-address list box: each address whose latest publishing failed,
/// once. The failures of the running pass stand first, in the order they
/// happened (inserted at the pass's failure count), then those of earlier
/// passes. A later success takes the address out again, so a re-send never
/// shares an item twice.
class FailedAddresses {
 public:
  explicit FailedAddresses(QListWidget* box) : box_(box) {}

  /// Records a failure of `address` at position `failedCount` (the number of
  /// failures of this pass so far) and advances the count. An earlier entry
  /// of the same address moves here.
  void recordFailure(const QString& address, std::int32_t& failedCount);
  /// Takes `address` out after a success, keeping `failedCount` in step.
  void recordSuccess(const QString& address, std::int32_t& failedCount);

  int count() const;
  QStringList addresses() const;

 private:
  // Removes every entry equal to `address`; entries that stood before
  // position `failedCount` lower it by one each.
  void remove(const QString& address, std::int32_t& failedCount);

  QListWidget* box_;
};

}  // namespace quillet
