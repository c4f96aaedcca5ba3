#include "site/kept_session.h"

namespace quillet {

namespace {

QString& keptFolder() {
  static QString folder;
  return folder;
}

}  // namespace

QString keptSessionFolder() {
  return keptFolder();
}

void setKeptSessionFolder(const QString& stateDir) {
  keptFolder() = stateDir;
}

}  // namespace quillet
