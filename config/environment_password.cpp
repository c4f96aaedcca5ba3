#include "config/environment_password.h"

#include <QByteArray>

namespace quillet {
namespace {

std::optional<QString>& kept() {
  static std::optional<QString> value;
  return value;
}

}  // namespace

void takeEnvironmentPassword() {
  if (!qEnvironmentVariableIsSet("QUILLET_PASSWORD")) return;
  kept() = qEnvironmentVariable("QUILLET_PASSWORD");
  qunsetenv("QUILLET_PASSWORD");
}

const std::optional<QString>& environmentPassword() {
  return kept();
}

}  // namespace quillet
