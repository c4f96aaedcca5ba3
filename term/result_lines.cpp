#include "term/result_lines.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "journal/csv_export.h"
#include "term/printable_text.h"

namespace quillet::term {
namespace {

// A JSON string, written by Qt's own JSON writer (the array around it is cut
// off): quotes, backslashes and control characters escaped, the rest (Chinese
// text included) as it is.
QString jsonString(const QString& text) {
  const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(array.mid(1, array.size() - 2));
}

}  // namespace

QString csvHeader() {
  return QString::fromUtf8(resultsCsvHeader());
}

QString csvRecord(const RowResult& result) {
  // JSON escapes control characters; CSV would carry them as they are.
  return QString::fromUtf8(resultsCsvRecord(
      printableText(result.address), printableText(result.status), printableText(result.time)));
}

QString jsonLine(const RowResult& result) {
  return QStringLiteral("{\"row\":%1,\"address\":%2,\"status\":%3,\"time\":%4}\n")
      .arg(QString::number(result.row), jsonString(result.address), jsonString(result.status),
           jsonString(result.time));
}

QString jsonHoldLine(const QString& event, const QString& reason, int row, const QString& until) {
  return QStringLiteral("{\"event\":%1,\"reason\":%2,\"row\":%3,\"until\":%4}\n")
      .arg(jsonString(event), jsonString(reason), QString::number(row),
           until.isEmpty() ? QStringLiteral("null") : jsonString(until));
}

}  // namespace quillet::term
