#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quillet {

/// The lines of an imported address file, or why it could not be read.
struct AddressFileContents {
  bool ok = false;
  QString error;       // the system's reason when !ok
  QStringList lines;   // in file order, without their terminators, blank lines left out
  int blankLines = 0;  // lines that held nothing but blanks
};

/// The largest address file read; a bigger one is refused.
inline constexpr qint64 kMaxAddressFileBytes = qint64(256) * 1024 * 1024;

/// Reads an address file: one address per line, lines ending at "\n" or
/// "\r\n"; a last line without terminator counts, an empty piece after the
/// last terminator does not. The text is GBK unless it begins with a UTF-8
/// byte-order mark or is valid UTF-8 holding multi-byte characters (the
/// usual case on this platform). Undecodable bytes become replacement
/// characters; they never
/// end or drop a line. Lines of blanks only are no addresses: they are left
/// out and counted. Only a regular file of at most kMaxAddressFileBytes is
/// read (a device or a pipe could be endless).
AddressFileContents readAddressFile(const QString& path);

/// The line splitting and decoding of readAddressFile over bytes in memory.
QStringList decodeAddressLines(const QByteArray& bytes);

/// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates,
/// nothing above U+10FFFF) and holds at least one multi-byte character.
bool isMultiByteUtf8(const char* bytes, qsizetype size);

}  // namespace quillet
