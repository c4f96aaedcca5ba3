#pragma once

#include <QString>
#include <optional>

namespace quillet {

/// Takes QUILLET_PASSWORD out of the environment, keeping its value for
/// environmentPassword(): the browser engine's processes, which run the
/// site's scripts, inherit the environment and must not see it. Call first
/// thing in main(), before any thread or child process exists.
void takeEnvironmentPassword();

/// The value QUILLET_PASSWORD had when takeEnvironmentPassword() ran;
/// nothing when it was not set.
const std::optional<QString>& environmentPassword();

}  // namespace quillet
