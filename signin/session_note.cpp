#include "signin/session_note.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "site/kept_session.h"

namespace quillet {

void noteSession(bool signedIn, const QString& user) {
  const QString folder = keptSessionFolder();
  if (folder.isEmpty()) return;
  QString who = user;
  if (who.isEmpty()) who = readSessionNote(folder).user;
  const QString text =
      QStringLiteral("state=%1\nuser=%2\nat=%3\n")
          .arg(signedIn ? QStringLiteral("signed-in") : QStringLiteral("signed-out"),
               QString(who).remove(u'\n').remove(u'\r'),
               QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
  // Only a note: a folder that cannot take it changes nothing else.
  QSaveFile file(QDir(folder).filePath(QLatin1String(kSessionNoteFile)));
  if (file.open(QIODevice::WriteOnly)) {
    file.write(text.toUtf8());
    file.commit();
  }
}

SessionNote readSessionNote(const QString& stateDir) {
  SessionNote note;
  QFile file(QDir(stateDir).filePath(QLatin1String(kSessionNoteFile)));
  if (!file.open(QIODevice::ReadOnly)) return note;
  for (const QString& line : QString::fromUtf8(file.read(4096)).split(u'\n')) {
    const QString key = line.section(u'=', 0, 0);
    const QString value = line.section(u'=', 1);
    if (key == QLatin1String("state")) {
      note.known = value == QLatin1String("signed-in") || value == QLatin1String("signed-out");
      note.signedIn = value == QLatin1String("signed-in");
    } else if (key == QLatin1String("user")) {
      note.user = value;
    } else if (key == QLatin1String("at")) {
      note.at = QDateTime::fromString(value, Qt::ISODate);
    }
  }
  return note;
}

}  // namespace quillet
