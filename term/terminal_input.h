#pragma once

#include <QString>
#include <optional>

namespace quillet::term {

/// Shows `prompt` on standard error and reads one line from standard input,
/// without its line break. With `hidden` and standard input a terminal, the
/// prompt and the answer go through the terminal itself (/dev/tty, as
/// passwd does: standard error may be a log file) and what is typed is not
/// echoed; the echo comes back also when a signal (SIGINT, SIGTERM, SIGHUP,
/// SIGQUIT) ends the process meanwhile. Nothing when the input ended.
std::optional<QString> promptLine(const QString& prompt, bool hidden = false);

/// True when standard error is a terminal.
bool stderrIsTerminal();

}  // namespace quillet::term
