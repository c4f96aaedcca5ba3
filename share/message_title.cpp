#include "share/message_title.h"

#include <QGuiApplication>

namespace quillet {

QString defaultMessageTitle() {
  const QString name = QGuiApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Quillet") : name;
}

}  // namespace quillet
