// The random comment: which entry of the pool and which number are drawn.
// Uniformity is judged with a chi-square test over many draws from a fixed
// seed, so the outcome is the same on every run.
#include <QtTest>
#include <cmath>
#include <random>
#include <vector>

#include "site/comment_pool.h"

using namespace quillet;

namespace {

// Pearson's statistic of `counts` against equal expected counts.
double chiSquare(const std::vector<long>& counts, long draws) {
  const double expected = static_cast<double>(draws) / static_cast<double>(counts.size());
  double sum = 0;
  for (const long observed : counts) {
    const double d = static_cast<double>(observed) - expected;
    sum += d * d / expected;
  }
  return sum;
}

// The chi-square value that a uniform draw exceeds with probability 0.001
// (Wilson-Hilferty: accurate to well under one percent for these degrees).
double criticalValue(double degrees) {
  constexpr double z = 3.0902;  // the standard normal's 0.999 quantile
  const double h = 2.0 / (9.0 * degrees);
  return degrees * std::pow(1.0 - h + z * std::sqrt(h), 3.0);
}

struct Tally {
  std::vector<long> indexes;
  std::vector<long> numbers = std::vector<long>(kMaxCommentNumber + 1, 0);
  int lowestIndex = 1 << 30;
  int highestIndex = -1;
};

Tally draw(int poolSize, long draws, std::uint32_t seed) {
  std::mt19937 random(seed);
  Tally tally;
  tally.indexes.assign(static_cast<std::size_t>(poolSize), 0);
  for (long i = 0; i < draws; ++i) {
    const CommentPick pick = pickComment(poolSize, random);
    tally.lowestIndex = std::min(tally.lowestIndex, pick.index);
    tally.highestIndex = std::max(tally.highestIndex, pick.index);
    if (pick.index < 0 || pick.index >= poolSize || pick.number < 0 ||
        pick.number > kMaxCommentNumber) {
      continue;  // counted nowhere: the sums below then fall short
    }
    ++tally.indexes[static_cast<std::size_t>(pick.index)];
    ++tally.numbers[static_cast<std::size_t>(pick.number)];
  }
  return tally;
}

long total(const std::vector<long>& counts) {
  long sum = 0;
  for (const long c : counts) sum += c;
  return sum;
}

}  // namespace

class CommentPoolTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aPoolOfOneAlwaysGivesItsTextAndAUniformNumber() {
    constexpr long kDraws = 400000;  // 40 per number
    const Tally tally = draw(1, kDraws, 20261209);
    QCOMPARE(tally.lowestIndex, 0);
    QCOMPARE(tally.highestIndex, 0);
    QCOMPARE(total(tally.numbers), kDraws);
    const double chi = chiSquare(tally.numbers, kDraws);
    QVERIFY2(chi < criticalValue(kMaxCommentNumber), qPrintable(QString::number(chi)));
    QVERIFY(tally.numbers.front() > 0);
    QVERIFY(tally.numbers.back() > 0);
  }

  void aPoolOfAThousandDrawsEveryTextAlike() {
    constexpr int kPool = kMaxComments;
    constexpr long kDraws = 300000;  // 300 per text
    const Tally tally = draw(kPool, kDraws, 7);
    QCOMPARE(tally.lowestIndex, 0);
    QCOMPARE(tally.highestIndex, kPool - 1);
    QCOMPARE(total(tally.indexes), kDraws);
    const double indexChi = chiSquare(tally.indexes, kDraws);
    QVERIFY2(indexChi < criticalValue(kPool - 1), qPrintable(QString::number(indexChi)));
    const double numberChi = chiSquare(tally.numbers, kDraws);
    QVERIFY2(numberChi < criticalValue(kMaxCommentNumber), qPrintable(QString::number(numberChi)));
  }

  // The test has the power to see a skew: folding the last tenth of a
  // thousand-text pool onto the first tenth is far beyond the bound.
  void aSkewedDrawFailsTheSameTest() {
    constexpr int kPool = kMaxComments;
    constexpr long kDraws = 300000;
    std::mt19937 random(7);
    std::vector<long> counts(kPool, 0);
    for (long i = 0; i < kDraws; ++i) {
      int index = pickComment(kPool, random).index;
      if (index >= kPool - kPool / 10) index -= kPool - kPool / 10;
      ++counts[static_cast<std::size_t>(index)];
    }
    QVERIFY(chiSquare(counts, kDraws) > 10 * criticalValue(kPool - 1));
  }

  void theTextIsTheEntryFollowedByTheNumber() {
    const QStringList pool = commentPoolTexts();
    QCOMPARE(pool.size(), 10);
    QCOMPARE(pool.front(), QStringLiteral("这款宝贝真给力"));
    QCOMPARE((CommentPick{3, 0}.textFrom(pool)), QStringLiteral("你确定你不需要么？0"));
    QCOMPARE((CommentPick{9, 9999}.textFrom(pool)),
             QStringLiteral("用美的装扮去引领生活的节奏9999"));
    // An empty pool still gives a comment (the number alone), never a crash.
    std::mt19937 random(1);
    for (const int size : {0, -5}) {
      const CommentPick pick = pickComment(size, random);
      QCOMPARE(pick.index, -1);
      QCOMPARE(pick.textFrom(QStringList{}), QString::number(pick.number));
    }
  }
};

QTEST_GUILESS_MAIN(CommentPoolTest)
#include "comment_pool_test.moc"
