#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QtTest>

#include "site/pump_wait.h"
#include "site/time_scale.h"

using namespace quillet;

namespace {

// Counts the custom events that reach it.
class EventCounter : public QObject {
 public:
  int count = 0;
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) {
      ++count;
      return true;
    }
    return QObject::event(e);
  }
};

}  // namespace

class PumpWaitTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { setTimeScale(1.0); }
  void cleanupTestCase() { setTimeScale(1.0); }

  void zeroOrNegativeReturnsWithoutDispatching_data() {
    QTest::addColumn<int>("micros");
    QTest::newRow("zero") << 0;
    QTest::newRow("minus five") << -5;
    QTest::newRow("most negative") << std::numeric_limits<int>::min();
  }
  void zeroOrNegativeReturnsWithoutDispatching() {
    QFETCH(int, micros);
    // A wait that returns at once never enters an event loop, so nothing
    // queued before it has run when it returns.
    EventCounter counter;
    bool timerRan = false;
    QTimer::singleShot(0, &counter, [&timerRan] { timerRan = true; });
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    pumpWait(micros);
    QCOMPARE(counter.count, 0);
    QVERIFY(!timerRan);
    QCoreApplication::processEvents();  // leave nothing for the next case
    QCoreApplication::sendPostedEvents();
  }

  void dispatchesEventsAndTimersWhileWaiting() {
    EventCounter counter;
    int timerShots = 0;
    QElapsedTimer clock;
    qint64 timerAt = -1;
    QTimer::singleShot(20, &counter, [&] {
      ++timerShots;
      timerAt = clock.elapsed();
      // Posted from inside the wait: dispatched inside it too.
      QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    });
    QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
    clock.start();
    pumpWait(150000);
    const qint64 waited = clock.elapsed();
    QCOMPARE(counter.count, 2);
    QCOMPARE(timerShots, 1);
    QVERIFY(timerAt >= 20);
    QVERIFY2(waited >= 150, qPrintable(QString::number(waited)));
  }

  void honoursFractionsOfAMillisecond() {
    QElapsedTimer clock;
    clock.start();
    pumpWait(1600);
    QVERIFY2(clock.nsecsElapsed() >= 1600000, qPrintable(QString::number(clock.nsecsElapsed())));
  }

  void durationIsMultipliedByTheTimeScale() {
    setTimeScale(0.25);
    bool lateTimerRan = false;
    QTimer late;
    late.setSingleShot(true);
    connect(&late, &QTimer::timeout, this, [&lateTimerRan] { lateTimerRan = true; });
    late.start(1500);
    QElapsedTimer clock;
    clock.start();
    pumpWait(400000);  // 100 ms at this scale
    QVERIFY(clock.elapsed() >= 100);
    // Unscaled the wait would outlast the 1.5 s timer by far.
    QVERIFY(!lateTimerRan);
  }

  void nestedWaitsEndInnerFirst() {
    QStringList order;
    QElapsedTimer clock;
    // The inner wait starts 10 ms into a 50 ms outer wait and lasts 200 ms:
    // the outer wait, though due, resumes only after the inner one.
    QTimer::singleShot(10, this, [&] {
      order << QStringLiteral("inner start");
      pumpWait(200000);
      order << QStringLiteral("inner end");
    });
    clock.start();
    order << QStringLiteral("outer start");
    pumpWait(50000);
    order << QStringLiteral("outer end");
    QCOMPARE(order, (QStringList{QStringLiteral("outer start"), QStringLiteral("inner start"),
                                 QStringLiteral("inner end"), QStringLiteral("outer end")}));
    QVERIFY(clock.elapsed() >= 210);
  }

  void outerWaitKeepsItsOwnDeadlineAfterAShortInnerWait() {
    qint64 innerEndedAt = -1;
    QElapsedTimer clock;
    QTimer::singleShot(10, this, [&] {
      pumpWait(20000);
      innerEndedAt = clock.elapsed();
    });
    clock.start();
    pumpWait(120000);
    QVERIFY(innerEndedAt >= 30);
    QVERIFY(clock.elapsed() >= 120);
  }
};

QTEST_GUILESS_MAIN(PumpWaitTest)
#include "pump_wait_test.moc"
