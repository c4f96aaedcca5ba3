#include "share/dialogs.h"

#include <QGuiApplication>

namespace quillet {

Dialogs::~Dialogs() = default;

bool Dialogs::question(const QString& /*title*/, const QString& /*text*/) {
  return false;
}

QString defaultMessageTitle() {
  const QString name = QGuiApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Quillet") : name;
}

}  // namespace quillet
