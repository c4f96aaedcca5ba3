#pragma once

#include <QStringList>
#include <random>

namespace quillet {

/// The built-in comment pool: the ten texts of the comment list, in order
/// (index 0 to 9). A site profile may replace them.
QStringList commentPoolTexts();

/// The most texts a comment pool may hold.
inline constexpr int kMaxComments = 1000;
/// The number appended to a random comment is drawn from 0 to this.
inline constexpr int kMaxCommentNumber = 9999;

/// One random comment: the pool entry at `index` followed by `number`.
struct CommentPick {
  int index = -1;  // -1: the pool was empty, there is no text to use
  int number = 0;

  /// The comment text: the entry (empty when there is none) and the number.
  QString textFrom(const QStringList& pool) const {
    return pool.value(index) + QString::number(number);
  }
};

/// Draws a comment for a pool of `poolSize` texts: every index from 0 to
/// poolSize - 1 with the same chance, and a number from 0 to 9999, each
/// drawn from `random` (any uniform random bit generator, e.g. std::mt19937).
template <typename Random>
CommentPick pickComment(int poolSize, Random& random) {
  CommentPick pick;
  if (poolSize > 0) pick.index = std::uniform_int_distribution<int>(0, poolSize - 1)(random);
  pick.number = std::uniform_int_distribution<int>(0, kMaxCommentNumber)(random);
  return pick;
}

}  // namespace quillet
