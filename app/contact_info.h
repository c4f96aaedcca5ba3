#pragma once

#include <QString>

namespace quillet {

/// The author's contact links shown by "联系作者", one after another.
inline QString contactHtml() {
  return QStringLiteral(
      "<a href=\"mailto:quillet@example.org\">给我邮件</a><br><br>"
      "<a href=\"tencent://message/?uin=10000&amp;Site=quillet\">Q     我</a><br><br>"
      "<a href=\"aliim:sendmsg?touid=quillet\">旺    我</a><br><br>"
      "<a href=\"https://quillet.example.org/\">我的博客</a>");
}

/// The page "检查更新" opens: the author's blog, where releases are announced.
inline QString updatePageAddress() {
  return QStringLiteral("https://quillet.example.org/");
}

}  // namespace quillet
