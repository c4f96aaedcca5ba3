#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace quillet {

/// The failed-address list (列表框2's content): each address whose latest
/// publishing failed, once. The failures of the running pass stand first, in
/// the order they happened (inserted at the pass's failure count), then those
/// of earlier passes. A later success takes the address out again, so a
/// re-send never shares an item twice. Views mirror it through `changed()`.
class FailedAddresses : public QObject {
  Q_OBJECT

 public:
  explicit FailedAddresses(QObject* parent = nullptr) : QObject(parent) {}

  /// Records a failure of `address` at position `failedCount` (the number of
  /// failures of this pass so far) and advances the count. An earlier entry
  /// of the same address moves here.
  void recordFailure(const QString& address, std::int32_t& failedCount);
  /// Takes `address` out after a success (or any outcome that is not a
  /// failure, such as 地址错误), keeping `failedCount` in step.
  void recordSuccess(const QString& address, std::int32_t& failedCount);

  int count() const { return static_cast<int>(entries_.size()); }
  const QStringList& addresses() const { return entries_; }
  /// Replaces every entry (a restored list, or a test's starting point).
  void setAddresses(const QStringList& addresses);
  void clear() { setAddresses({}); }

 Q_SIGNALS:
  void changed();

 private:
  // Removes every entry equal to `address`; entries that stood before
  // position `failedCount` lower it by one each. True when one was removed.
  bool remove(const QString& address, std::int32_t& failedCount);

  QStringList entries_;
};

}  // namespace quillet
