#pragma once

#include <QString>

namespace quillet::term {

/// Writes one message of the terminal front end to standard error: `text` in
/// UTF-8 and a line break. Every refusal, hint and notice of the commands
/// goes through here; results go to standard output, never through here.
void say(const QString& text);

}  // namespace quillet::term
