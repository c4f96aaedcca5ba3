#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace quillet::term {

/// Turns SIGINT and SIGTERM into a Qt signal on the GUI thread (the handler
/// only writes the signal's number into a pipe), so a pass can be stopped at
/// its next step boundary instead of dying mid-step. While it lives, the
/// default handlers are replaced; its destructor puts them back.
class StopSignals : public QObject {
  Q_OBJECT

 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;

  /// The first signal received (SIGINT or SIGTERM), 0 while none came.
  int received() const { return received_; }

 Q_SIGNALS:
  /// Emitted on the first signal; a second one ends the process at once.
  void stopRequested(int signalNumber);

 private:
  void onReadable();

  std::unique_ptr<QSocketNotifier> notifier_;
  int received_ = 0;
};

}  // namespace quillet::term
