// The time-left estimate in the window title: designed waits, the period
// above 25 s and the measured page time; paused time counts as nothing.
#include <QtTest>

#include "share/pass_progress.h"
#include "share/share_settings.h"
#include "site/time_scale.h"

using namespace quillet;

class PassProgressTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { setTimeScale(1.0); }

  void idleTitleIsTheProgramName() {
    PassProgress progress;
    QCOMPARE(progress.titleText(10, 30.0), QStringLiteral("Quillet"));
    progress.passStarted(0);
    progress.passEnded();
    QCOMPARE(progress.titleText(10, 30.0), QStringLiteral("Quillet"));
  }

  void designedWaitsAndPeriod_data() {
    QTest::addColumn<int>("startRow");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("title");
    // 17.6 s a row and nothing more up to a period of 25 s.
    QTest::newRow("21 s, 10 rows")
        << 0 << 10 << QStringLiteral("21") << QStringLiteral("Quillet - 第1/10个 - 约剩3分钟");
    // 17.6 + 60 = 77.6 s a row, 100 rows: 129.3 minutes, rounded up.
    QTest::newRow("85 s, 100 rows")
        << 0 << 100 << QStringLiteral("85") << QStringLiteral("Quillet - 第1/100个 - 约剩130分钟");
    // Started further down: only the rows from there on count.
    QTest::newRow("85 s, from row 91")
        << 90 << 100 << QStringLiteral("85") << QStringLiteral("Quillet - 第91/100个 - 约剩13分钟");
    // A period field emptied during the pass means no pacing wait.
    QTest::newRow("empty period") << 0 << 1 << QString()
                                  << QStringLiteral("Quillet - 第1/1个 - 约剩1分钟");
  }

  void designedWaitsAndPeriod() {
    QFETCH(int, startRow);
    QFETCH(int, rows);
    QFETCH(QString, period);
    QFETCH(QString, title);
    PassProgress progress;
    progress.passStarted(startRow);
    QCOMPARE(progress.titleText(rows, periodFromText(period).value_or(0.0)), title);
  }

  void measuredPageTimeCountsPausedTimeDoesNot() {
    // At a hundredth the designed waits of a row take 176 ms.
    setTimeScale(0.01);
    PassProgress progress;
    progress.passStarted(0);
    progress.rowStarted(0);
    QTest::qWait(200);
    progress.setPaused(true);
    QTest::qWait(600);  // paused: not page time
    progress.setPaused(false);
    QTest::qWait(126);
    progress.rowFinished(0);
    // About 150 ms of page time on top of the 176 ms of waits: 1000 rows
    // left take some 326 s (a busy machine adds some), not the 926 s that
    // counting the pause would give.
    const std::int64_t left = progress.remainingMicros(1001, 21.0);
    QVERIFY2(left > 300000000 && left < 800000000, qPrintable(QString::number(left)));
    QCOMPARE(progress.currentRow(), 1);
    QVERIFY(
        progress.titleText(1001, 21.0).startsWith(QStringLiteral("Quillet - 第2/1001个 - 约剩")));
  }
};

QTEST_GUILESS_MAIN(PassProgressTest)
#include "pass_progress_test.moc"
