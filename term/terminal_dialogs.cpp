#include "term/terminal_dialogs.h"

#include "term/say.h"

namespace quillet::term {

QString TerminalDialogs::getOpenFileName() {
  return {};
}

void TerminalDialogs::information(const QString&, const QString& text) {
  ++shown_;
  say(text);
}

void TerminalDialogs::warning(const QString& title, const QString& text) {
  information(title, text);
}

QString TerminalDialogs::getSaveFileName(const QString&, const QString&, const QString&) {
  return {};
}

}  // namespace quillet::term
