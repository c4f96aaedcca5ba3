#include "term/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "term/exit_status.h"

namespace quillet::term {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

int gPipe[2] = {-1, -1};
volatile sig_atomic_t gCount = 0;
volatile sig_atomic_t gAtOnce = 0;
struct sigaction gOld[std::size(kSignals)]{};

void onSignal(int number) {
  const int saved = errno;
  gCount = gCount + 1;
  if (gCount > 1 || gAtOnce != 0) {
    // Asked twice, or nothing to finish yet: end here.
    ::_exit(StopSignals::exitStatusFor(number));
  }
  const unsigned char byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

int StopSignals::exitStatusFor(int signalNumber) {
  switch (signalNumber) {
    case SIGINT:
      return kExitInterrupted;
    case SIGHUP:
      return kExitHangUp;
    default:
      return kExitTerminated;
  }
}

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  gCount = 0;
  gAtOnce = 0;
  notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::onReadable);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &gOld[i]);
}

StopSignals::~StopSignals() {
  if (!notifier_) return;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &gOld[i], nullptr);
  gAtOnce = 0;
  notifier_.reset();
  ::close(gPipe[0]);
  ::close(gPipe[1]);
  gPipe[0] = gPipe[1] = -1;
}

void StopSignals::setAtOnce(bool atOnce) {
  gAtOnce = atOnce ? 1 : 0;
}

void StopSignals::onReadable() {
  unsigned char byte = 0;
  while (::read(gPipe[0], &byte, 1) == 1) {
    if (received_ == 0) {
      received_ = byte;
      Q_EMIT stopRequested(received_);
    }
  }
}

}  // namespace quillet::term
