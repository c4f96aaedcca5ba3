#pragma once

#include <QString>
#include <string>

namespace quillet {

/// GBK (code page 936) bytes of `text`; characters GBK lacks become '?'.
std::string qStringToGbk(const QString& text);
/// `bytes` decoded as GBK text (which ends at its first zero byte).
QString gbkToQString(const std::string& bytes);

}  // namespace quillet
