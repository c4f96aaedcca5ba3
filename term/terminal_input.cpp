#include "term/terminal_input.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string>

namespace quillet::term {
namespace {

// Every signal that ends a process by default and can come from a user or a
// closing terminal.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The terminal and the settings to put back if a signal ends the process
// while the echo is off.
int gTerminal = -1;
termios gSaved{};
struct sigaction gOld[std::size(kEndingSignals)]{};

void restoreAndDie(int number) {
  ::tcsetattr(gTerminal, TCSAFLUSH, &gSaved);
  ::signal(number, SIG_DFL);
  ::raise(number);
}

// Turns the echo of `terminal` off for its lifetime, and back on after, also
// when a signal ends the process meanwhile.
class EchoOff {
 public:
  explicit EchoOff(int terminal) {
    if (::tcgetattr(terminal, &gSaved) != 0) return;
    gTerminal = terminal;
    struct sigaction action {};
    action.sa_handler = restoreAndDie;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
      ::sigaction(kEndingSignals[i], &action, &gOld[i]);
    termios quiet = gSaved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    active_ = ::tcsetattr(terminal, TCSAFLUSH, &quiet) == 0;
    hooked_ = true;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(gTerminal, TCSAFLUSH, &gSaved);
    if (hooked_) {
      for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
        ::sigaction(kEndingSignals[i], &gOld[i], nullptr);
    }
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
  bool hooked_ = false;
};

// The controlling terminal, open for the object's lifetime (-1 when there is none).
class ControllingTerminal {
 public:
  ControllingTerminal() : fd_(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY)) {}
  ~ControllingTerminal() {
    if (fd_ >= 0) ::close(fd_);
  }
  ControllingTerminal(const ControllingTerminal&) = delete;
  ControllingTerminal& operator=(const ControllingTerminal&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += std::size_t(n);
  }
}

// One line read byte by byte from the descriptor, so that nothing after it is
// taken from standard input (the next prompt reads on from there).
std::optional<std::string> readLine(int fd) {
  std::string line;
  char c = 0;
  for (;;) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
    if (c == '\n') break;
    line.push_back(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<QString> promptLine(const QString& prompt, bool hidden) {
  std::optional<std::string> line;
  if (hidden && ::isatty(STDIN_FILENO)) {
    const ControllingTerminal tty;
    const int fd = tty.fd() >= 0 ? tty.fd() : STDIN_FILENO;
    const int promptFd = tty.fd() >= 0 ? tty.fd() : STDERR_FILENO;
    std::fflush(stderr);
    // The echo goes off before the prompt shows: nothing typed after it is seen.
    EchoOff echoOff(fd);
    writeAll(promptFd, prompt.toStdString());
    line = readLine(fd);
    if (echoOff.active()) writeAll(promptFd, "\n");
  } else {
    std::fputs(prompt.toUtf8().constData(), stderr);
    std::fflush(stderr);
    line = readLine(STDIN_FILENO);
    // Typed text echoes its own line break; piped text does not.
    if (!::isatty(STDIN_FILENO)) std::fputc('\n', stderr);
  }
  if (!line) return std::nullopt;
  return QString::fromStdString(*line);
}

bool stderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace quillet::term
