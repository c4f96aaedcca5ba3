#include "journal/csv_export.h"

#include <QSaveFile>

namespace quillet {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

// A spreadsheet reads a cell that begins with one of these as a formula (or,
// for tab and CR, strips them and reads what follows as one). Addresses come
// from files anyone may have written, so such a field gets a leading quote
// mark, which spreadsheets take as "text" and do not show.
bool looksLikeFormula(const QString& text) {
  if (text.isEmpty()) return false;
  switch (text.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
      return true;
    default:
      return false;
  }
}

void appendField(QByteArray& out, const QString& text) {
  const QByteArray bytes = looksLikeFormula(text) ? '\'' + text.toUtf8() : text.toUtf8();
  const bool quote = bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
                     bytes.contains('\r') ||
                     (!bytes.isEmpty() && (bytes.front() == ' ' || bytes.back() == ' ' ||
                                           bytes.front() == '\t' || bytes.back() == '\t'));
  if (!quote) {
    out += bytes;
    return;
  }
  out += '"';
  for (const char c : bytes) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

QByteArray resultsCsvHeader() {
  return QStringLiteral("地址,状态,发布时间\r\n").toUtf8();
}

QByteArray resultsCsvRecord(const QString& address, const QString& status,
                            const QString& publishTime) {
  QByteArray out;
  appendField(out, address);
  out += ',';
  appendField(out, status);
  out += ',';
  appendField(out, publishTime);
  out += "\r\n";
  return out;
}

QByteArray resultsCsv(const QList<JournalRow>& rows) {
  QByteArray out = kBom;
  out.reserve(64 + rows.size() * 80);
  out += resultsCsvHeader();
  for (const JournalRow& row : rows)
    out += resultsCsvRecord(row.address, row.status, row.publishTime);
  return out;
}

QByteArray failedAddressesText(const QStringList& addresses) {
  QByteArray out = kBom;
  for (const QString& address : addresses) {
    out += address.toUtf8();
    out += "\r\n";
  }
  return out;
}

bool writeExportFile(const QString& path, const QByteArray& bytes, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace quillet
