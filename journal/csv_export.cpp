#include "journal/csv_export.h"

#include <QSaveFile>

namespace quillet {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

void appendField(QByteArray& out, const QString& text) {
  const QByteArray bytes = text.toUtf8();
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
