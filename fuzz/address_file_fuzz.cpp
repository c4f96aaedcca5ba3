// The address-file import over arbitrary file contents: line splitting, the choice between GBK
// and UTF-8, and decoding.
#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

#include "share/address_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QStringList lines = quillet::decodeAddressLines(bytes);
  // Every line ends at a "\n", so there are never more lines than line feeds plus one, and no
  // line keeps a line feed.
  if (lines.size() > bytes.count('\n') + 1) std::abort();
  for (const QString& line : lines) {
    if (line.contains(QLatin1Char('\n'))) std::abort();
  }
  quillet::isMultiByteUtf8(bytes.constData(), bytes.size());
  return 0;
}
