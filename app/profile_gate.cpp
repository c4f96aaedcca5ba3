#include "app/profile_gate.h"

#include <QTextStream>

#include "app/dialogs.h"
#include "config/app_config.h"
#include "site/profile_file.h"

namespace quillet {

bool loadProfileForWindow(AppConfig& config, Dialogs& dialogs, QTextStream& err) {
  const ProfileLoad load = loadSiteProfile(config.profilePath, config.dataDir);
  if (load.ok()) {
    config.profile = *load.profile;
    return true;
  }
  const QString text = QStringLiteral("The site profile is refused:\n") + load.errorText();
  err << text << Qt::endl;
  dialogs.information(defaultMessageTitle(), text);
  return false;
}

}  // namespace quillet
