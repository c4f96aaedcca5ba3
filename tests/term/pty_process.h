#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace quillet::testing {

/// `quillet` on a pseudo-terminal of its own, as a user in a terminal runs
/// it: standard input and output and the controlling terminal are the
/// terminal; standard error is the terminal too, or a pipe of its own. What
/// the program writes to the terminal is read from its master side.
class PtyProcess {
 public:
  PtyProcess() = default;
  ~PtyProcess();
  PtyProcess(const PtyProcess&) = delete;
  PtyProcess& operator=(const PtyProcess&) = delete;

  /// Starts the program built next to the tests. False when it could not start.
  bool start(const QStringList& arguments, const QProcessEnvironment& environment,
             bool stderrToPipe = false);

  /// Reads the terminal until `text` has shown (true) or `limitMs` passed.
  bool waitForText(const QByteArray& text, int limitMs);
  /// Types `bytes` on the terminal.
  void type(const QByteArray& bytes);
  /// Whether the terminal echoes what is typed now.
  bool echoOn() const;
  void sendSignal(int signalNumber);
  /// Waits for the end (at most `limitMs`, then SIGKILL) and reads the rest.
  /// The exit status, or 128 + the signal for a process ended by one; -1 on a timeout.
  int waitForExit(int limitMs);

  /// Everything written to the terminal so far, and to the stderr pipe.
  const QByteArray& terminalText() const { return terminal_; }
  const QByteArray& stderrText() const { return stderr_; }

 private:
  void drain(int timeoutMs);

  pid_t pid_ = -1;
  int master_ = -1;
  int errPipe_ = -1;
  QByteArray terminal_;
  QByteArray stderr_;
};

}  // namespace quillet::testing
