#include "term/terminal_dialogs.h"

#include "term/say.h"

namespace quillet::term {

QString TerminalDialogs::getOpenFileName(QWidget*) {
  return {};
}

void TerminalDialogs::information(QWidget*, const QString&, const QString& text) {
  ++shown_;
  say(text);
}

}  // namespace quillet::term

namespace quillet::term {

void TerminalDialogs::warning(QWidget* parent, const QString& title, const QString& text) {
  information(parent, title, text);
}

QString TerminalDialogs::getSaveFileName(QWidget*, const QString&, const QString&, const QString&) {
  return {};
}

}  // namespace quillet::term
