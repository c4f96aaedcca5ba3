#include "tests/term/pty_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <string>
#include <vector>

#include "tests/term/quillet_process.h"

namespace quillet::testing {

PtyProcess::~PtyProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) ::close(master_);
  if (errPipe_ >= 0) ::close(errPipe_);
}

bool PtyProcess::start(const QStringList& arguments, const QProcessEnvironment& environment,
                       bool stderrToPipe) {
  int errFds[2] = {-1, -1};
  if (stderrToPipe && ::pipe2(errFds, O_CLOEXEC) != 0) return false;
  // Everything the child needs is built before the fork.
  const std::string program = quilletPath().toStdString();
  std::vector<std::string> args{program};
  for (const QString& a : arguments) args.push_back(a.toStdString());
  std::vector<std::string> env;
  for (const QString& e : environment.toStringList()) env.push_back(e.toStdString());
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  winsize size{};
  size.ws_row = 40;
  size.ws_col = 200;
  pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    if (stderrToPipe) ::dup2(errFds[1], STDERR_FILENO);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  if (stderrToPipe) {
    ::close(errFds[1]);
    errPipe_ = errFds[0];
  }
  return true;
}

void PtyProcess::drain(int timeoutMs) {
  pollfd fds[2] = {{master_, POLLIN, 0}, {errPipe_, POLLIN, 0}};
  const nfds_t count = errPipe_ >= 0 ? 2 : 1;
  if (::poll(fds, count, timeoutMs) <= 0) return;
  char buffer[4096];
  if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) terminal_.append(buffer, n);
  }
  if (count > 1 && (fds[1].revents & (POLLIN | POLLHUP))) {
    const ssize_t n = ::read(errPipe_, buffer, sizeof buffer);
    if (n > 0) stderr_.append(buffer, n);
  }
}

bool PtyProcess::waitForText(const QByteArray& text, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!terminal_.contains(text)) {
    if (clock.elapsed() > limitMs) return false;
    drain(100);
  }
  return true;
}

void PtyProcess::type(const QByteArray& bytes) {
  [[maybe_unused]] const ssize_t n = ::write(master_, bytes.constData(), size_t(bytes.size()));
}

bool PtyProcess::echoOn() const {
  termios settings{};
  if (::tcgetattr(master_, &settings) != 0) return false;
  return (settings.c_lflag & ECHO) != 0;
}

void PtyProcess::sendSignal(int signalNumber) {
  if (pid_ > 0) ::kill(pid_, signalNumber);
}

int PtyProcess::waitForExit(int limitMs) {
  QElapsedTimer clock;
  clock.start();
  int status = 0;
  for (;;) {
    drain(50);
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (clock.elapsed() > limitMs) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return -1;
    }
  }
  pid_ = -1;
  // What is still on its way through the terminal and the pipe.
  for (int i = 0; i < 5; ++i) drain(20);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace quillet::testing
