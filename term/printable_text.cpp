#include "term/printable_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillet::term {

QString printableText(const QString& text) {
  QString out = text;
  for (QChar& c : out) {
    const char16_t u = c.unicode();
    const bool control = (u < 0x20 && u != u'\n') || (u >= 0x7F && u <= 0x9F);
    if (control) c = QChar(QChar::ReplacementCharacter);
  }
  return out;
}

PrintableStdout::PrintableStdout() {
  open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 PrintableStdout::readData(char*, qint64) {
  return -1;
}

qint64 PrintableStdout::writeData(const char* data, qint64 size) {
  const QByteArray bytes = printableText(QString::fromUtf8(data, qsizetype(size))).toUtf8();
  errno = 0;
  if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
      std::fflush(stdout) != 0) {
    failed_ = true;
    setErrorString(QString::fromLocal8Bit(std::strerror(errno != 0 ? errno : EIO)));
    std::clearerr(stdout);
    return -1;
  }
  return size;
}

}  // namespace quillet::term
