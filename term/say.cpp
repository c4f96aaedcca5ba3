#include "term/say.h"

#include <cstdio>

namespace quillet::term {

void say(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

}  // namespace quillet::term
