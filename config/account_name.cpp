#include "config/account_name.h"

namespace quillet {
namespace {

constexpr qsizetype kLongestName = 32;

bool isAsciiLetterOrDigit(QChar c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

}  // namespace

QString accountNameProblem(const QString& name) {
  bool ok = !name.isEmpty() && name.size() <= kLongestName && isAsciiLetterOrDigit(name.front());
  for (const QChar c : name) ok = ok && (isAsciiLetterOrDigit(c) || c == u'_' || c == u'-');
  if (ok) return {};
  return QStringLiteral("not a usable account name: '%1' (%2)")
      .arg(name, QLatin1String(kAccountNameRule));
}

}  // namespace quillet
