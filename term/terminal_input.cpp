#include "term/terminal_input.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace quillet::term {
namespace {

// The settings to put back if a signal ends the process while the echo is off.
termios gSaved{};
struct sigaction gOldInt {};
struct sigaction gOldTerm {};

void restoreAndDie(int number) {
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSaved);
  ::signal(number, SIG_DFL);
  ::raise(number);
}

// Turns the terminal's echo off for its lifetime, and back on after, also
// when Ctrl+C or a kill ends the process meanwhile.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &gSaved) != 0) return;
    struct sigaction action {};
    action.sa_handler = restoreAndDie;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &gOldInt);
    ::sigaction(SIGTERM, &action, &gOldTerm);
    termios quiet = gSaved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSaved);
    ::sigaction(SIGINT, &gOldInt, nullptr);
    ::sigaction(SIGTERM, &gOldTerm, nullptr);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

// One line read byte by byte from the descriptor, so that nothing after it is
// taken from standard input (the next prompt reads on from there).
std::optional<std::string> readLine() {
  std::string line;
  char c = 0;
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
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
  std::fputs(prompt.toUtf8().constData(), stderr);
  std::fflush(stderr);
  std::optional<std::string> line;
  if (hidden && ::isatty(STDIN_FILENO)) {
    EchoOff echoOff;
    line = readLine();
    if (echoOff.active()) std::fputc('\n', stderr);
  } else {
    line = readLine();
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
