#include "app/dialogs.h"

namespace quillet {

Dialogs::~Dialogs() = default;

bool Dialogs::question(const QString& /*title*/, const QString& /*text*/) {
  return false;
}

}  // namespace quillet
