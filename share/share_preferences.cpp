#include "share/share_preferences.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>

namespace quillet {
namespace {

QString filePath(const QString& folder) {
  return QDir(folder).filePath(QLatin1String(kPreferencesFileName));
}

const QString kPeriod = QStringLiteral("share/period");
const QString kLoop = QStringLiteral("share/loopSharing");
const QString kComment = QStringLiteral("share/addComment");
const QString kExportFolder = QStringLiteral("export/folder");

}  // namespace

SharePreferences loadSharePreferences(const QString& folder) {
  SharePreferences preferences;
  if (folder.isEmpty()) return preferences;
  const QSettings file(filePath(folder), QSettings::IniFormat);
  if (file.status() != QSettings::NoError) return preferences;
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
  const QString period = file.value(kPeriod).toString();
  if (digits.match(period).hasMatch()) preferences.period = period;
  preferences.loopSharing = file.value(kLoop, false).toBool();
  preferences.addComment = file.value(kComment, false).toBool();
  const QString exportFolder = file.value(kExportFolder).toString();
  if (QDir::isAbsolutePath(exportFolder)) preferences.exportFolder = exportFolder;
  return preferences;
}

bool saveSharePreferences(const QString& folder, const SharePreferences& preferences) {
  if (folder.isEmpty()) return false;
  QSettings file(filePath(folder), QSettings::IniFormat);
  file.setValue(kPeriod, preferences.period);
  file.setValue(kLoop, preferences.loopSharing);
  file.setValue(kComment, preferences.addComment);
  file.setValue(kExportFolder, preferences.exportFolder);
  file.sync();
  return file.status() == QSettings::NoError;
}

}  // namespace quillet
