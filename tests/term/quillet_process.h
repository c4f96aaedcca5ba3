#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace quillet::testing {

/// What a finished `quillet` process left behind.
struct ProcessResult {
  int exitCode = -1;
  bool crashed = false;
  QString out;
  QString err;
};

/// The program built next to the tests.
QString quilletPath();

/// The environment a subcommand gets in these tests: no display and no
/// platform asked for (the program must choose the offscreen one by itself),
/// the engine's sandbox off, the designed waits at `timeScale`.
QProcessEnvironment headlessEnvironment(double timeScale);

/// Runs the program built next to the tests with `arguments`, `input` on its
/// standard input, and waits for it to end (at most `limitMs`).
ProcessResult runQuillet(const QStringList& arguments, const QByteArray& input = {},
                         const QProcessEnvironment& environment = headlessEnvironment(0.1),
                         int limitMs = 120'000);

/// A finished process as a failure message shows it: exit status, stdout, stderr.
QString describe(const ProcessResult& r);
/// Writes `bytes` to `path` (replacing it); false when it could not.
bool writeFile(const QString& path, const QByteArray& bytes);
/// The bytes of the file at `path`; empty when it cannot be read.
QByteArray readFile(const QString& path);

/// Reads `process`'s standard output into `out` until it holds `lines`
/// lines. Gives up as soon as the process ends (it will print no more) or
/// after `limitMs`; then returns false and `why` says what the process
/// printed on standard error and how it ended.
bool waitForLines(QProcess& process, QByteArray& out, int lines, int limitMs, QString* why);

}  // namespace quillet::testing
