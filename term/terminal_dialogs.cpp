#include "term/terminal_dialogs.h"

#include <cstdio>

namespace quillet::term {

QString TerminalDialogs::getOpenFileName(QWidget*) {
  return {};
}

void TerminalDialogs::information(QWidget*, const QString&, const QString& text) {
  ++shown_;
  std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

}  // namespace quillet::term
