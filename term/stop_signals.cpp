#include "term/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace quillet::term {
namespace {

int gPipe[2] = {-1, -1};
volatile sig_atomic_t gCount = 0;
struct sigaction gOldInt {};
struct sigaction gOldTerm {};

void onSignal(int number) {
  const int saved = errno;
  gCount = gCount + 1;
  if (gCount > 1) {
    // Asked twice: the user means it.
    ::_exit(128 + number);
  }
  const unsigned char byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  gCount = 0;
  notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::onReadable);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &gOldInt);
  ::sigaction(SIGTERM, &action, &gOldTerm);
}

StopSignals::~StopSignals() {
  if (!notifier_) return;
  ::sigaction(SIGINT, &gOldInt, nullptr);
  ::sigaction(SIGTERM, &gOldTerm, nullptr);
  notifier_.reset();
  ::close(gPipe[0]);
  ::close(gPipe[1]);
  gPipe[0] = gPipe[1] = -1;
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
