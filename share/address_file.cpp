#include "share/address_file.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <memory>
#include <string_view>

#include "text/gbk_decoder.h"

namespace quillet {
namespace {

// Calls `onLine(begin, length)` for every line of the buffer, terminators
// removed. A "\r" counts only as part of a "\r\n" pair.
template <typename OnLine>
void forEachLine(const char* data, qsizetype size, OnLine onLine) {
  qsizetype start = 0;
  while (start < size) {
    const void* found = std::memchr(data + start, '\n', static_cast<std::size_t>(size - start));
    if (found == nullptr) {
      onLine(data + start, size - start);  // last line without a terminator
      return;
    }
    const qsizetype end = static_cast<const char*>(found) - data;
    qsizetype length = end - start;
    if (length > 0 && data[end - 1] == '\r') --length;
    onLine(data + start, length);
    start = end + 1;
  }
}

QStringList decodeGbkLines(const char* data, qsizetype size) {
  QStringList lines;
  GbkDecoder decoder;
  forEachLine(data, size, [&lines, &decoder](const char* line, qsizetype length) {
    // At most one UTF-16 unit per byte: `length` units always suffice.
    QString text(length, Qt::Uninitialized);
    const std::size_t units =
        decoder.decode(std::string_view(line, static_cast<std::size_t>(length)),
                       reinterpret_cast<char16_t*>(text.data()));
    text.truncate(static_cast<qsizetype>(units));
    lines.append(std::move(text));
  });
  return lines;
}

QStringList decodeUtf8Lines(const char* data, qsizetype size) {
  QStringList lines;
  forEachLine(data, size, [&lines](const char* line, qsizetype length) {
    lines.append(QString::fromUtf8(line, length));
  });
  return lines;
}

}  // namespace

bool isMultiByteUtf8(const char* bytes, qsizetype size) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  bool multiByte = false;
  qsizetype i = 0;
  while (i < size) {
    const unsigned char lead = p[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    int extra = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the 2nd byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      if (lead == 0xE0) low = 0xA0;   // no overlongs
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (size - i <= extra) return false;
    if (p[i + 1] < low || p[i + 1] > high) return false;
    for (int k = 2; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
    }
    multiByte = true;
    i += extra + 1;
  }
  return multiByte;
}

QStringList decodeAddressLines(const QByteArray& bytes) {
  const char* data = bytes.constData();
  const qsizetype size = bytes.size();
  if (size >= 3 && static_cast<unsigned char>(data[0]) == 0xEF &&
      static_cast<unsigned char>(data[1]) == 0xBB && static_cast<unsigned char>(data[2]) == 0xBF) {
    return decodeUtf8Lines(data + 3, size - 3);
  }
  if (isMultiByteUtf8(data, size)) return decodeUtf8Lines(data, size);
  return decodeGbkLines(data, size);
}

AddressFileContents readAddressFile(const QString& path) {
  AddressFileContents contents;
  const QString notRegular = QStringLiteral("不是普通文件");
  const QString tooBig = QStringLiteral("文件大于%1 MiB").arg(kMaxAddressFileBytes >> 20);
  // Checked before opening too: opening a pipe waits for its writer.
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) {
    contents.error = notRegular;
    return contents;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    contents.error = file.errorString();
    return contents;
  }
  struct stat status {};
  if (::fstat(file.handle(), &status) != 0 || !S_ISREG(status.st_mode)) {
    contents.error = notRegular;
    return contents;
  }
  // One byte more than allowed tells a file that grew past the limit.
  const QByteArray bytes = file.read(kMaxAddressFileBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    contents.error = file.errorString();
    return contents;
  }
  if (bytes.size() > kMaxAddressFileBytes) {
    contents.error = tooBig;
    return contents;
  }
  for (QString& line : decodeAddressLines(bytes)) {
    if (line.trimmed().isEmpty()) {
      ++contents.blankLines;
    } else {
      contents.lines.append(std::move(line));
    }
  }
  contents.ok = true;
  return contents;
}

}  // namespace quillet
