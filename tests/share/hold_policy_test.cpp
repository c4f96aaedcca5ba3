// The hold policy: sequences of row outcomes and page loads, and what the pass
// is told to do after each one.
#include <QRandomGenerator>
#include <QStringList>
#include <QtTest>

#include "share/hold_policy.h"
#include "site/time_scale.h"

using namespace quillet;
using std::chrono::milliseconds;

namespace {

QString durationText(milliseconds wait) {
  const auto ms = wait.count();
  if (ms % 60000 == 0) return QString::number(ms / 60000) + u'm';
  if (ms % 1000 == 0) return QString::number(ms / 1000) + u's';
  return QString::number(ms) + QLatin1String("ms");
}

QString decisionText(const HoldDecision& decision) {
  switch (decision.action) {
    case HoldAction::Go:
      return QStringLiteral("go");
    case HoldAction::GiveUp:
      return decision.reason == HoldReason::SiteDown ? QStringLiteral("give up")
                                                     : QStringLiteral("give up (no reason)");
    case HoldAction::Hold:
      break;
  }
  if (decision.reason == HoldReason::Muted) {
    QStringList rows;
    for (const qint64 row : decision.retryRows) rows << QString::number(row);
    return QStringLiteral("mute ") + durationText(decision.wait) + QLatin1String(" [") +
           rows.join(u',') + u']' + (decision.probe ? QLatin1String(" probe") : QLatin1String());
  }
  return QStringLiteral("down ") + durationText(decision.wait) +
         (decision.probe ? QLatin1String("") : QLatin1String(" without probe")) +
         (decision.retryRows.isEmpty() ? QLatin1String("") : QLatin1String(" with rows"));
}

// One event: S<row> success, F<row> failure, M<row> mute notice, D page not
// loaded, P+ probe loaded, P- probe failed, P-<ms> probe failed after taking ms.
HoldDecision apply(HoldPolicy& policy, const QString& event) {
  const QString rest = event.mid(1);
  switch (event.at(0).unicode()) {
    case u'S':
      return policy.rowSucceeded(rest.toLongLong());
    case u'F':
      return policy.rowFailed(rest.toLongLong());
    case u'M':
      return policy.muteNoticeSeen(rest.toLongLong());
    case u'D':
      return policy.pageLoadFailed();
    case u'P':
      if (rest == QLatin1String("+")) return policy.probeSucceeded();
      return policy.probeFailed(milliseconds{rest.mid(1).toLongLong()});
  }
  qFatal("unknown event %s", qPrintable(event));
}

HoldSettings settingsOf(const QList<double>& holds, double giveUp) {
  SiteProfile profile;
  if (!holds.isEmpty()) profile.muteHoldMinutes = holds;
  if (giveUp > 0) profile.outageGiveUpMinutes = giveUp;
  return HoldSettings::fromProfile(profile);
}

}  // namespace

class HoldPolicyTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void sequences_data() {
    QTest::addColumn<QList<double>>("holds");  // empty: the built-in 10, 20, 40, 60
    QTest::addColumn<double>("giveUp");        // 0: the built-in 120
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("decisions");
    const QList<double> builtIn;

    QTest::newRow("notices take the next hold, the last repeats")
        << builtIn << 0.0 << "M1 M1 M1 M1 M1 M1"
        << "mute 10m [1]; mute 20m [1]; mute 40m [1]; mute 60m [1]; mute 60m [1]; mute 60m [1]";
    QTest::newRow("a success starts the holds over")
        << builtIn << 0.0 << "S1 M2 M2 S2 M3"
        << "go; mute 10m [2]; mute 20m [2]; go; mute 10m [3]";
    QTest::newRow("one or two failures are the rows' own") << builtIn << 0.0 << "F1 F2 S3 F4 F5 S6"
                                                           << "go; go; go; go; go; go";
    QTest::newRow("three failures in a row count as a mute") << builtIn << 0.0 << "F1 F2 F3"
                                                             << "go; go; mute 10m [1,2,3]";
    QTest::newRow("the rows tried again fail for good, and count no more")
        << builtIn << 0.0 << "F1 F2 F3 F1 F2 F3 F4 F5"
        << "go; go; mute 10m [1,2,3]; go; go; go; go; go";
    QTest::newRow("failures after the retried rows count again, with the next hold")
        << builtIn << 0.0 << "F1 F2 F3 F1 F2 F3 F4 F5 F6"
        << "go; go; mute 10m [1,2,3]; go; go; go; go; go; mute 20m [4,5,6]";
    QTest::newRow("a retried row that succeeds starts the holds over")
        << builtIn << 0.0 << "F1 F2 F3 S1 F2 F3 F4 F5 F6"
        << "go; go; mute 10m [1,2,3]; go; go; go; go; go; mute 10m [4,5,6]";
    QTest::newRow("a notice ends the run of failures before it")
        << builtIn << 0.0 << "F1 F2 M3 F4 F5 F6"
        << "go; go; mute 10m [3]; go; go; mute 20m [4,5,6]";
    QTest::newRow("a notice on a row tried again holds and tries it again")
        << builtIn << 0.0 << "F1 F2 F3 M1 S1 F2"
        << "go; go; mute 10m [1,2,3]; mute 20m [1]; go; go";
    QTest::newRow("one hold length repeats") << QList<double>{1} << 0.0 << "M1 M1 F2 F3 F4"
                                             << "mute 1m [1]; mute 1m [1]; go; go; mute 1m [2,3,4]";
    QTest::newRow("fractional minutes") << QList<double>{0.5, 2.25} << 0.0 << "M1 M1 M1"
                                        << "mute 30s [1]; mute 135s [1]; mute 135s [1]";

    QTest::newRow("probes at 30 s, then 1, 2, 5 minutes, the last cut to the limit")
        << builtIn << 10.0 << "D P- P- P- P- P-"
        << "down 30s; down 1m; down 2m; down 5m; down 90s; give up";
    QTest::newRow("a probe that loads ends the outage; the next one starts over")
        << builtIn << 0.0 << "D P- P+ D"
        << "down 30s; down 1m; go; down 30s";
    QTest::newRow("a page failing during an outage is a failed probe")
        << builtIn << 0.0 << "D D D"
        << "down 30s; down 1m; down 2m";
    QTest::newRow("the probes' own time counts against the limit")
        << builtIn << 2.0 << "D P-45000 P-"
        << "down 30s; down 45s; give up";
    QTest::newRow("a limit below the first wait probes once, at the limit")
        << builtIn << 0.25 << "D P-"
        << "down 15s; give up";
    QTest::newRow("after giving up, the next failure starts a new outage")
        << builtIn << 0.25 << "D P- D"
        << "down 15s; give up; down 15s";
    QTest::newRow("an outage leaves the run of mute holds as it was")
        << builtIn << 0.0 << "M1 D P+ M1"
        << "mute 10m [1]; down 30s; go; mute 20m [1]";
    QTest::newRow("an outage leaves the run of failures as it was")
        << builtIn << 0.0 << "F1 F2 D P+ F3"
        << "go; go; down 30s; go; mute 10m [1,2,3]";
    QTest::newRow("a probe result without an outage is harmless") << builtIn << 0.0 << "P+ P- P+ S1"
                                                                  << "go; down 30s; go; go";
  }

  void sequences() {
    QFETCH(QList<double>, holds);
    QFETCH(double, giveUp);
    QFETCH(QString, events);
    QFETCH(QString, decisions);
    HoldPolicy policy(settingsOf(holds, giveUp));
    QStringList got;
    for (const QString& event : events.split(u' ', Qt::SkipEmptyParts)) {
      got << decisionText(apply(policy, event));
    }
    QCOMPARE(got.join(QLatin1String("; ")), decisions);
  }

  // The built-in limit end to end: the waits add up to two hours exactly,
  // probing every 5 minutes after the first four, and then the pass gives up.
  void builtInOutageGivesUpAfterTwoHours() {
    HoldPolicy policy(HoldSettings::fromProfile(SiteProfile{}));
    HoldDecision decision = policy.pageLoadFailed();
    QList<milliseconds> waits;
    while (decision.action == HoldAction::Hold && waits.size() < 1000) {
      QVERIFY(decision.probe);
      QCOMPARE(decision.reason, HoldReason::SiteDown);
      waits << decision.wait;
      QVERIFY(policy.siteDown());
      decision = policy.probeFailed();
    }
    QCOMPARE(decision.action, HoldAction::GiveUp);
    QCOMPARE(decision.reason, HoldReason::SiteDown);
    QVERIFY(!policy.siteDown());
    milliseconds total{0};
    for (const auto wait : waits) total += wait;
    QCOMPARE(total, milliseconds{120 * 60000});
    QCOMPARE(policy.outageWaited(), milliseconds{120 * 60000});
    QCOMPARE(waits.mid(0, 4), (QList<milliseconds>{milliseconds{30000}, milliseconds{60000},
                                                   milliseconds{120000}, milliseconds{300000}}));
    // 8.5 minutes, then 22 waits of 5 minutes, then the last 1.5 minutes.
    QCOMPARE(waits.size(), 4 + 22 + 1);
    for (qsizetype i = 4; i < waits.size() - 1; ++i) QCOMPARE(waits[i], milliseconds{300000});
    QCOMPARE(waits.back(), milliseconds{90000});
  }

  void settingsComeFromTheProfile() {
    SiteProfile profile;
    QCOMPARE(HoldSettings::fromProfile(profile).muteHolds,
             (QList<milliseconds>{milliseconds{600000}, milliseconds{1200000},
                                  milliseconds{2400000}, milliseconds{3600000}}));
    QCOMPARE(HoldSettings::fromProfile(profile).outageGiveUp, milliseconds{7200000});
    profile.muteHoldMinutes = {0.001, 10080};
    profile.outageGiveUpMinutes = 1.5;
    const HoldSettings settings = HoldSettings::fromProfile(profile);
    QCOMPARE(settings.muteHolds,
             (QList<milliseconds>{milliseconds{60}, milliseconds{10080LL * 60000}}));
    QCOMPARE(settings.outageGiveUp, milliseconds{90000});

    // Settings made by hand without any hold length fall back to the built-in ones.
    HoldPolicy policy(HoldSettings{});
    QCOMPARE(policy.muteNoticeSeen(1).wait, milliseconds{600000});
    QCOMPARE(policy.pageLoadFailed().action, HoldAction::GiveUp);
  }

  // A pass restarted after a crash goes on with a policy restored from its
  // saved text. Seeded random sequences, restored at random steps, must decide
  // exactly as one policy that never stopped.
  void restoredPoliciesDecideAsIfNeverStopped() {
    const QStringList kinds{QStringLiteral("S"),  QStringLiteral("F"), QStringLiteral("F"),
                            QStringLiteral("F"),  QStringLiteral("M"), QStringLiteral("D"),
                            QStringLiteral("P+"), QStringLiteral("P-")};
    for (quint32 seed = 1; seed <= 300; ++seed) {
      QRandomGenerator random(seed);
      const HoldSettings settings = settingsOf({0.5, 1, 2.5}, random.bounded(1, 30));
      HoldPolicy reference(settings);
      std::optional<HoldPolicy> live(std::in_place, settings);
      for (int step = 0; step < 80; ++step) {
        QString event = kinds[random.bounded(kinds.size())];
        if (event.size() == 1 && event != QLatin1String("D")) {
          event += QString::number(random.bounded(1, 7));
        } else if (event == QLatin1String("P-") && random.bounded(2) == 0) {
          event += QString::number(random.bounded(60000));
        }
        if (random.bounded(3) == 0) {
          live = HoldPolicy::restored(settings, live->saved());
          QVERIFY2(live.has_value(),
                   qPrintable(QStringLiteral("seed %1 step %2").arg(seed).arg(step)));
        }
        const QString expected = decisionText(apply(reference, event));
        const QString got = decisionText(apply(*live, event));
        QVERIFY2(got == expected, qPrintable(QStringLiteral("seed %1 step %2 event %3: %4, not %5")
                                                 .arg(seed)
                                                 .arg(step)
                                                 .arg(event, got, expected)));
        QCOMPARE(live->saved(), reference.saved());
      }
    }
  }

  // A saved text that the policy did not write is refused, never half read.
  void foreignSavedTextsAreRefused() {
    const HoldSettings settings = settingsOf({}, 0);
    HoldPolicy policy(settings);
    policy.rowFailed(4);
    policy.muteNoticeSeen(5);
    policy.pageLoadFailed();
    const QByteArray good = policy.saved();
    QVERIFY(HoldPolicy::restored(settings, good).has_value());
    QVERIFY(HoldPolicy::restored(settings, good)->siteDown());
    QCOMPARE(HoldPolicy::restored(settings, good)->muteHoldsInARow(), 1);

    const QList<QByteArray> refused{
        QByteArray(),
        QByteArray("{"),
        QByteArray("[]"),
        QByteArray("null"),
        QByteArray("{}"),
        QByteArray(good).replace("\"muteHolds\":1", "\"muteHolds\":-1"),
        QByteArray(good).replace("\"muteHolds\":1", "\"muteHolds\":1.5"),
        QByteArray(good).replace("\"muteHolds\":1", "\"muteHolds\":\"1\""),
        QByteArray(good).replace("\"outage\":true", "\"outage\":1"),
        QByteArray(good).replace("\"failedInARow\":[]", "\"failedInARow\":[1,2,3]"),
        QByteArray(good).replace("\"failedInARow\":[]", "\"failedInARow\":[\"x\"]"),
        QByteArray(good).replace("\"triedAgain\":[]", "\"triedAgain\":{}"),
        QByteArray(good).replace("\"lastWaitMs\":30000", "\"lastWaitMs\":1e300"),
        QByteArray(good).replace("\"outageWaitedMs\":0", "\"outageWaitedMs\":-5"),
    };
    for (const QByteArray& text : refused) {
      QVERIFY2(text != good, text.constData());  // each one really differs
      QVERIFY2(!HoldPolicy::restored(settings, text).has_value(), text.constData());
    }
  }

  void muteMarksAreFoundInThePageText() {
    const QStringList marks = SiteProfile{}.muteMarks;
    QVERIFY(showsMuteMark(QStringLiteral("分享太频繁，请稍后再试"), marks));
    QVERIFY(showsMuteMark(QStringLiteral("您已被禁言24小时"), marks));
    QVERIFY(!showsMuteMark(QStringLiteral("分享失败，请稍后再试"), marks));
    QVERIFY(!showsMuteMark(QString(), marks));
    QVERIFY(!showsMuteMark(QStringLiteral("频繁"), {}));
    QVERIFY(!showsMuteMark(QStringLiteral("anything"), {QString()}));
  }

  void waitsAreScaledLikeTheDesignedWaits() {
    const double before = timeScale();
    setTimeScale(0.01);
    QCOMPARE(scaledHoldWait(milliseconds{600000}), milliseconds{6000});
    QCOMPARE(unscaledHoldWait(milliseconds{6000}), milliseconds{600000});
    QCOMPARE(scaledHoldWait(milliseconds{30000}), milliseconds{300});
    setTimeScale(1.0);
    QCOMPARE(scaledHoldWait(milliseconds{7200000}), milliseconds{7200000});
    QCOMPARE(unscaledHoldWait(milliseconds{1500}), milliseconds{1500});
    setTimeScale(before);
  }
};

QTEST_GUILESS_MAIN(HoldPolicyTest)
#include "hold_policy_test.moc"
