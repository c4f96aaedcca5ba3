#include "term/terminal_dialogs.h"

#include <cstdio>

namespace quillet::term {

QString TerminalDialogs::getOpenFileName() {
  return {};
}

void TerminalDialogs::information(const QString&, const QString& text) {
  ++shown_;
  std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

}  // namespace quillet::term

namespace quillet::term {

void TerminalDialogs::warning(const QString& title, const QString& text) {
  information(title, text);
}

QString TerminalDialogs::getSaveFileName(const QString&, const QString&, const QString&) {
  return {};
}

}  // namespace quillet::term
