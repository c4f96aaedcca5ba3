#pragma once

#include <QIODevice>
#include <QString>

namespace quillet::term {

/// `text` with every control character but the line feed (C0, DEL, C1)
/// replaced by U+FFFD. Addresses and page texts come from outside: written
/// as they are, an escape sequence in them would drive the user's terminal.
QString printableText(const QString& text);

/// Standard output for text that carries page texts: written through
/// printableText() and flushed at every write, so each line shows at once.
class PrintableStdout : public QIODevice {
 public:
  PrintableStdout();
  /// A write failed (the reason is in errorString()).
  bool failed() const { return failed_; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 size) override;

 private:
  bool failed_ = false;
};

}  // namespace quillet::term
