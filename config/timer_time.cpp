#include "config/timer_time.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "config/home_folder.h"

namespace quillet {

QString timerTimePath(const QString& name) {
  return xdgBaseDir("XDG_CONFIG_HOME", ".config") +
         QStringLiteral("/systemd/user/quillet-run@%1.timer.d/time.conf").arg(name);
}

bool keepTimerTime(const QString& name, const QString& time, QString* problem) {
  const QString path = timerTimePath(name);
  const QString folder = QFileInfo(path).absolutePath();
  if (time.isEmpty()) {
    if (QFile::exists(path) && !QFile::remove(path)) {
      if (problem != nullptr) *problem = QStringLiteral("%1: cannot remove").arg(path);
      return false;
    }
    QDir().rmdir(folder);  // only when nothing else is in it
    return true;
  }
  // The empty OnCalendar= first drops the timer's default time.
  const QByteArray text = QStringLiteral(
                              "# Written by 'quillet accounts' from the time key of account %1.\n"
                              "[Timer]\nOnCalendar=\nOnCalendar=*-*-* %2:00\n")
                              .arg(name, time)
                              .toUtf8();
  QSaveFile file(path);
  if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
      file.write(text) != text.size() || !file.commit()) {
    if (problem != nullptr) *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace quillet
