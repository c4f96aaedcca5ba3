#pragma once

#include <QString>
#include <optional>

namespace quillet::term {

/// Shows `prompt` on standard error and reads one line from standard input,
/// without its line break. With `hidden`, the terminal does not echo what is
/// typed (when standard input is a terminal). Nothing when the input ended.
std::optional<QString> promptLine(const QString& prompt, bool hidden = false);

/// True when standard error is a terminal.
bool stderrIsTerminal();

}  // namespace quillet::term
