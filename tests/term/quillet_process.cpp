#include "tests/term/quillet_process.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>

namespace quillet::testing {

QString quilletPath() {
  return QStringLiteral(QUILLET_PATH);
}

QProcessEnvironment headlessEnvironment(double timeScale) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "QUILLET_PASSWORD",
                           "QUILLET_SITE", "QTWEBENGINE_CHROMIUM_FLAGS"}) {
    env.remove(QString::fromLatin1(name));
  }
  env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
  env.insert(QStringLiteral("QUILLET_TIME_SCALE"), QString::number(timeScale));
  return env;
}

ProcessResult runQuillet(const QStringList& arguments, const QByteArray& input,
                         const QProcessEnvironment& environment, int limitMs) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(quilletPath(), arguments);
  ProcessResult result;
  if (!process.waitForStarted(10'000)) return result;
  process.write(input);
  process.closeWriteChannel();
  if (!process.waitForFinished(limitMs)) {
    process.kill();
    process.waitForFinished(5'000);
    result.crashed = true;
  } else {
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
  }
  result.out = QString::fromUtf8(process.readAllStandardOutput());
  result.err = QString::fromUtf8(process.readAllStandardError());
  return result;
}

QString describe(const ProcessResult& r) {
  return QStringLiteral("exit %1\n--- stdout\n%2\n--- stderr\n%3")
      .arg(r.exitCode)
      .arg(r.out, r.err);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool waitForLines(QProcess& process, QByteArray& out, int lines, int limitMs, QString* why) {
  const QDeadlineTimer deadline(limitMs);
  for (;;) {
    out += process.readAllStandardOutput();
    if (out.count('\n') >= lines) return true;
    if (process.state() == QProcess::NotRunning) break;
    if (deadline.hasExpired()) break;
    process.waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 500)));
  }
  out += process.readAllStandardOutput();
  if (out.count('\n') >= lines) return true;
  if (why) {
    const QString ended = process.state() == QProcess::NotRunning
                              ? QStringLiteral("ended with exit %1").arg(process.exitCode())
                              : QStringLiteral("still running after %1 ms").arg(limitMs);
    *why =
        QStringLiteral("%1 of %2 lines, %3\n--- stdout\n%4\n--- stderr\n%5")
            .arg(out.count('\n'))
            .arg(lines)
            .arg(ended, QString::fromUtf8(out), QString::fromUtf8(process.readAllStandardError()));
  }
  return false;
}

}  // namespace quillet::testing
