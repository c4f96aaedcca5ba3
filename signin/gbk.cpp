#include "signin/gbk.h"

#include "text/code_page_conversion.h"

namespace quillet {

std::string qStringToGbk(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return utf8ToGbk(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

QString gbkToQString(const std::string& bytes) {
  const std::string utf8 = gbkToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

}  // namespace quillet
