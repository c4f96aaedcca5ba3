#include "site/comment_pool.h"

namespace quillet {

QStringList commentPoolTexts() {
  return {
      QStringLiteral("这款宝贝真给力"),       QStringLiteral("超漂亮，超时尚"),
      QStringLiteral("买vo商品，爽四季心情"), QStringLiteral("你确定你不需要么？"),
      QStringLiteral("开张新品，折上折"),     QStringLiteral("偶遇？还是缘分让我视觉受到冲击"),
      QStringLiteral("推荐！推荐！推荐！"),   QStringLiteral("商品你我他，成就千万家"),
      QStringLiteral("今年的潮流服饰在这里"), QStringLiteral("用美的装扮去引领生活的节奏"),
  };
}

}  // namespace quillet
