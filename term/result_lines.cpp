#include "term/result_lines.h"

namespace quillet::term {
namespace {

QString csvField(const QString& text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r')) {
    return text;
  }
  QString quoted = text;
  quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
  return u'"' + quoted + u'"';
}

// A JSON string: quotes, backslashes and control characters escaped; the
// rest (Chinese text included) as it is, in UTF-8 once written out.
QString jsonString(const QString& text) {
  QString out = QStringLiteral("\"");
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'"':
        out += QLatin1String("\\\"");
        break;
      case u'\\':
        out += QLatin1String("\\\\");
        break;
      case u'\n':
        out += QLatin1String("\\n");
        break;
      case u'\r':
        out += QLatin1String("\\r");
        break;
      case u'\t':
        out += QLatin1String("\\t");
        break;
      default:
        if (c.unicode() < 0x20) {
          out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
          out += c;
        }
    }
  }
  return out + u'"';
}

}  // namespace

QString csvHeader() {
  return QStringLiteral("地址,状态,发布时间\r\n");
}

QString csvRecord(const RowResult& result) {
  return csvField(result.address) + u',' + csvField(result.status) + u',' + csvField(result.time) +
         QLatin1String("\r\n");
}

QString jsonLine(const RowResult& result) {
  return QStringLiteral("{\"row\":%1,\"address\":%2,\"status\":%3,\"time\":%4}\n")
      .arg(QString::number(result.row), jsonString(result.address), jsonString(result.status),
           jsonString(result.time));
}

}  // namespace quillet::term
