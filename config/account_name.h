#pragma once

#include <QString>

namespace quillet {

/// The rule an account's name follows, as the refusal states it. Names become
/// folder names and systemd instance names (quillet-run@NAME), so they are
/// short and need no quoting anywhere.
inline constexpr char kAccountNameRule[] =
    "an account name is 1 to 32 characters: letters a-z A-Z, digits 0-9, '_' and '-', "
    "beginning with a letter or a digit";

/// Empty when `name` can name an account; else the reason, with the rule.
QString accountNameProblem(const QString& name);

}  // namespace quillet
