#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace quillet::term {

/// Turns SIGINT, SIGTERM and SIGHUP (the terminal or the ssh session closed)
/// into a Qt signal on the GUI thread (the handler only writes the signal's
/// number into a pipe), so a pass can be stopped at its next step boundary
/// instead of dying mid-step. While it lives, the default handlers are
/// replaced; its destructor puts them back.
///
/// Before there is anything to finish in order (the start-up sign-in check,
/// a sign-in), setAtOnce(true) ends the process in the handler itself with
/// exitStatusFor() of the signal, instead of waiting out a page load.
class StopSignals : public QObject {
  Q_OBJECT

 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;

  /// The first signal received (SIGINT, SIGTERM or SIGHUP), 0 while none came.
  int received() const { return received_; }

  /// While true, a signal ends the process at once.
  void setAtOnce(bool atOnce);

  /// The exit status for a stop by `signalNumber`: 130, 143 or 129.
  static int exitStatusFor(int signalNumber);

 Q_SIGNALS:
  /// Emitted on the first signal; a second one ends the process at once.
  void stopRequested(int signalNumber);

 private:
  void onReadable();

  std::unique_ptr<QSocketNotifier> notifier_;
  int received_ = 0;
};

}  // namespace quillet::term
