#include "share/share_refusal.h"

#include "share/message_title.h"

namespace quillet {

QString refusalTitle(Refusal reason) {
  switch (reason) {
    case Refusal::NothingToShare:
      return defaultMessageTitle();
    case Refusal::NoFailures:
      return QStringLiteral("错误信息");
  }
  return defaultMessageTitle();
}

QString refusalText(Refusal reason) {
  switch (reason) {
    case Refusal::NothingToShare:
      return QStringLiteral("请先导入地址和设定周期（必须大于21秒，否则你的帐号可能会被禁言）");
    case Refusal::NoFailures:
      return QStringLiteral("没有发布失败的地址（地址错误的请更换地址）");
  }
  return {};
}

}  // namespace quillet
