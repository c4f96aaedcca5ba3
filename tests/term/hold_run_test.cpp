// `quillet run` of 30 addresses against a demo site that changes state after
// the 5th share: it signs the session out, mutes the account, or drops every
// connection for a while. In the end every good item is shared exactly once,
// the final statuses are only the site's real failures and the wrong links,
// and the exit statuses are the documented ones. A SIGKILL during a hold and a
// restart go on with the same hold.
#include <signal.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>

#include "demo/demo_site.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::runQuillet;
using quillet::testing::writeFile;

namespace {

constexpr char kCaptcha[] = "7139";
constexpr int kFailingItem = 521;
constexpr double kTimeScale = 0.1;
constexpr int kRows = 30;
// 1-based rows holding wrong links and the item the site always fails.
const QList<int> kWrongRows{9, 16};
constexpr int kFailingRow = 21;

// The journal must keep working through holds: a write it could not make
// is told on standard error.
bool journalKept(const ProcessResult& r) {
  return !r.err.contains(QStringLiteral("无法写入数据文件夹"));
}

QString wrongLink(int row) {
  return QStringLiteral("http://example.invalid/no-item-%1").arg(row);
}

// The JSON lines of a run's standard output.
QList<QJsonObject> jsonLines(const QString& out) {
  QList<QJsonObject> lines;
  for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
    lines << QJsonDocument::fromJson(line.toUtf8()).object();
  }
  return lines;
}

// A demo site with one condition after the 5th share, a data folder signed
// in to it, and the address file of the 30 rows.
struct Scene {
  std::unique_ptr<DemoSite> site;
  QTemporaryDir data;
  QString list;
  QStringList addresses;

  QList<int> failingRows{kFailingRow};  // 1-based rows the site always fails

  explicit Scene(DemoOptions options, const QList<int>& moreFailingRows = {}) {
    options.fixedCaptcha = kCaptcha;
    options.failItems = {kFailingItem};
    for (const int row : moreFailingRows) {
      failingRows << row;
      options.failItems.insert(500 + row);
    }
    site = std::make_unique<DemoSite>(options);
  }

  QString base() const { return QString::fromStdString(site->baseUrl()); }

  bool prepare(const QByteArray& profile = {}) {
    if (!site->start() || !data.isValid()) return false;
    QByteArray lines;
    for (int row = 1; row <= kRows; ++row) {
      QString address = QString::fromStdString(site->itemUrl(500 + row));
      if (kWrongRows.contains(row)) address = wrongLink(row);
      addresses << address;
      lines += address.toUtf8() + '\n';
    }
    list = data.filePath(QStringLiteral("list.txt"));
    if (!writeFile(list, lines)) return false;
    if (!profile.isEmpty() && !writeFile(data.filePath(QStringLiteral("site.toml")), profile))
      return false;
    return login().exitCode == 0;
  }

  ProcessResult login() const {
    QProcessEnvironment env = headlessEnvironment(kTimeScale);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("demo123"));
    return runQuillet({QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("demo"),
                       QStringLiteral("--site"), base(), QStringLiteral("--data-dir"), data.path()},
                      QByteArray(kCaptcha) + "\n", env);
  }

  QStringList runArgs() const {
    return {QStringLiteral("run"),        list,        QStringLiteral("--site"), base(),
            QStringLiteral("--data-dir"), data.path(), QStringLiteral("--json")};
  }

  // Successful shares per item.
  std::map<int, int> made() const {
    std::map<int, int> count;
    for (const ShareRecord& share : site->shares()) count[share.item] += share.ok ? 1 : 0;
    return count;
  }

  // Every good item shared exactly once; the failing one never.
  QString sharedOnceProblems() const {
    const std::map<int, int> count = made();
    QStringList problems;
    for (int row = 1; row <= kRows; ++row) {
      if (kWrongRows.contains(row)) continue;
      const int item = 500 + row;
      const int expected = failingRows.contains(row) ? 0 : 1;
      const auto at = count.find(item);
      const int got = at == count.end() ? 0 : at->second;
      if (got != expected) problems << QStringLiteral("item %1 shared %2 times").arg(item).arg(got);
    }
    return problems.join(u'\n');
  }

  // The final status of each row: the last result line of each row over the
  // runs' outputs, in order.
  QString statusProblems(const QList<QJsonObject>& lines) const {
    std::map<int, QString> last;
    for (const QJsonObject& line : lines) {
      if (line.contains(QStringLiteral("event"))) continue;
      last[line.value(QStringLiteral("row")).toInt()] =
          line.value(QStringLiteral("status")).toString();
    }
    QStringList problems;
    for (int row = 1; row <= kRows; ++row) {
      const QString expected = kWrongRows.contains(row)    ? QStringLiteral("地址错误")
                               : failingRows.contains(row) ? QStringLiteral("失败")
                                                           : QStringLiteral("成功");
      if (last[row] != expected) {
        problems << QStringLiteral("row %1: %2, expected %3").arg(row).arg(last[row], expected);
      }
    }
    return problems.join(u'\n');
  }
};

int countEvents(const QList<QJsonObject>& lines, const QString& event, const QString& reason) {
  int n = 0;
  for (const QJsonObject& line : lines) {
    if (line.value(QStringLiteral("event")).toString() == event &&
        line.value(QStringLiteral("reason")).toString() == reason)
      ++n;
  }
  return n;
}

}  // namespace

class HoldRunTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Signed out after the 5th share: the run stops at row 6 with nothing
  // marked (exit 3, the summary says the session ended); after a new login,
  // --resume goes on at row 6.
  void signedOutStopsThenResumesAtTheRow() {
    DemoOptions options;
    options.signOutAfter = 5;
    Scene scene(options);
    QVERIFY(scene.prepare());

    const ProcessResult first =
        runQuillet(scene.runArgs(), {}, headlessEnvironment(kTimeScale), 300'000);
    QVERIFY2(first.exitCode == 3, qPrintable(describe(first)));
    QVERIFY2(journalKept(first), qPrintable(first.err));
    QVERIFY2(first.err.contains(QStringLiteral("会话已结束")), qPrintable(first.err));
    QVERIFY2(first.err.contains(QStringLiteral("第6个地址")), qPrintable(first.err));
    const QList<QJsonObject> firstLines = jsonLines(first.out);
    QCOMPARE(countEvents(firstLines, QStringLiteral("hold"), QStringLiteral("signedOut")), 1);
    // Five results, all 成功: row 6 on was never tried.
    int results = 0;
    for (const QJsonObject& line : firstLines) {
      if (line.contains(QStringLiteral("event"))) continue;
      ++results;
      QCOMPARE(line.value(QStringLiteral("status")).toString(), QStringLiteral("成功"));
    }
    QCOMPARE(results, 5);

    // Still signed out: --resume is refused with 3 and changes nothing.
    QStringList resume = scene.runArgs();
    resume << QStringLiteral("--resume");
    const ProcessResult refused = runQuillet(resume, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(refused.exitCode == 3, qPrintable(describe(refused)));
    QVERIFY2(journalKept(refused), qPrintable(refused.err));

    QVERIFY(scene.login().exitCode == 0);
    const ProcessResult second = runQuillet(resume, {}, headlessEnvironment(kTimeScale), 300'000);
    QVERIFY2(second.exitCode == 1, qPrintable(describe(second)));
    QVERIFY2(journalKept(second), qPrintable(second.err));
    QVERIFY2(second.err.contains(QStringLiteral("从第6个地址继续")), qPrintable(second.err));
    const QString statuses = scene.statusProblems(firstLines + jsonLines(second.out));
    QVERIFY2(statuses.isEmpty(), qPrintable(statuses + u'\n' + describe(second)));
    const QString shared = scene.sharedOnceProblems();
    QVERIFY2(shared.isEmpty(), qPrintable(shared));
  }

  // Muted for 10 s after the 5th share: the pass holds (1 minute designed,
  // 6 s at this scale) and tries the muted row again, as often as needed;
  // no good item is marked 失败.
  void mutedHoldsAndTriesTheRowAgain() {
    DemoOptions options;
    options.muteAfter = 5;
    options.muteSeconds = 10;
    Scene scene(options);
    QVERIFY(scene.prepare("muteHoldMinutes = [1]\n"));

    const ProcessResult run =
        runQuillet(scene.runArgs(), {}, headlessEnvironment(kTimeScale), 400'000);
    QVERIFY2(run.exitCode == 1, qPrintable(describe(run)));
    QVERIFY2(journalKept(run), qPrintable(run.err));
    const QList<QJsonObject> lines = jsonLines(run.out);
    QVERIFY2(countEvents(lines, QStringLiteral("hold"), QStringLiteral("muted")) >= 1,
             qPrintable(run.out));
    QCOMPARE(countEvents(lines, QStringLiteral("holdEnded"), QStringLiteral("muted")),
             countEvents(lines, QStringLiteral("hold"), QStringLiteral("muted")));
    QVERIFY2(run.err.contains(QStringLiteral("账号被限制")), qPrintable(run.err));
    const QString statuses = scene.statusProblems(lines);
    QVERIFY2(statuses.isEmpty(), qPrintable(statuses + u'\n' + describe(run)));
    const QString shared = scene.sharedOnceProblems();
    QVERIFY2(shared.isEmpty(), qPrintable(shared));
  }

  // Every connection dropped for 8 s after the 5th share: the pass holds and
  // probes the start page until it loads, then goes on at that row; the
  // wrong links are 地址错误, not 失败.
  void siteDownHoldsThenGoesOn() {
    DemoOptions options;
    options.outageAfter = 5;
    options.outageSeconds = 8;
    Scene scene(options);
    QVERIFY(scene.prepare());

    const ProcessResult run =
        runQuillet(scene.runArgs(), {}, headlessEnvironment(kTimeScale), 400'000);
    QVERIFY2(run.exitCode == 1, qPrintable(describe(run)));
    QVERIFY2(journalKept(run), qPrintable(run.err));
    const QList<QJsonObject> lines = jsonLines(run.out);
    QCOMPARE(countEvents(lines, QStringLiteral("hold"), QStringLiteral("siteDown")), 1);
    QCOMPARE(countEvents(lines, QStringLiteral("holdEnded"), QStringLiteral("siteDown")), 1);
    const QString statuses = scene.statusProblems(lines);
    QVERIFY2(statuses.isEmpty(), qPrintable(statuses + u'\n' + describe(run)));
    const QString shared = scene.sharedOnceProblems();
    QVERIFY2(shared.isEmpty(), qPrintable(shared));
  }

  // A site down for longer than outageGiveUpMinutes: the pass stops as
  // interrupted with exit 4, and --resume goes on at that row once the site
  // is back.
  void siteDownPastTheLimitExitsFour() {
    DemoOptions options;
    options.outageAfter = 5;
    options.outageSeconds = 12;
    Scene scene(options);
    // Half a minute designed: 3 s at this scale, well inside the outage.
    QVERIFY(scene.prepare("outageGiveUpMinutes = 0.5\n"));

    const ProcessResult first =
        runQuillet(scene.runArgs(), {}, headlessEnvironment(kTimeScale), 300'000);
    QVERIFY2(first.exitCode == 4, qPrintable(describe(first)));
    QVERIFY2(journalKept(first), qPrintable(first.err));
    QVERIFY2(first.err.contains(QStringLiteral("网站一直无法访问")), qPrintable(first.err));
    QCOMPARE(scene.made().size(), std::size_t{5});

    // The outage ends; the interrupted pass goes on at row 6.
    QTest::qWait(13'000);
    QStringList resume = scene.runArgs();
    resume << QStringLiteral("--resume");
    const ProcessResult second = runQuillet(resume, {}, headlessEnvironment(kTimeScale), 300'000);
    QVERIFY2(second.exitCode == 1, qPrintable(describe(second)));
    QVERIFY2(journalKept(second), qPrintable(second.err));
    QVERIFY2(second.err.contains(QStringLiteral("从第6个地址继续")), qPrintable(second.err));
    const QString statuses = scene.statusProblems(jsonLines(first.out) + jsonLines(second.out));
    QVERIFY2(statuses.isEmpty(), qPrintable(statuses + u'\n' + describe(second)));
    const QString shared = scene.sharedOnceProblems();
    QVERIFY2(shared.isEmpty(), qPrintable(shared));
  }

  // Three rows in a row that fail without a notice count as a mute: the pass
  // holds, then tries those three once more; failing again, they are final
  // and start no new hold. A single failure later holds nothing.
  void failuresInARowCountAsAMute() {
    Scene scene(DemoOptions{}, {11, 12, 13});
    QVERIFY(scene.prepare("muteHoldMinutes = [0.2]\n"));

    const ProcessResult run =
        runQuillet(scene.runArgs(), {}, headlessEnvironment(kTimeScale), 400'000);
    QVERIFY2(run.exitCode == 1, qPrintable(describe(run)));
    QVERIFY2(journalKept(run), qPrintable(run.err));
    const QList<QJsonObject> lines = jsonLines(run.out);
    QCOMPARE(countEvents(lines, QStringLiteral("hold"), QStringLiteral("muted")), 1);
    QCOMPARE(countEvents(lines, QStringLiteral("holdEnded"), QStringLiteral("muted")), 1);
    const QString statuses = scene.statusProblems(lines);
    QVERIFY2(statuses.isEmpty(), qPrintable(statuses + u'\n' + describe(run)));
    // Each of the three was tried twice, the lone failure once.
    std::map<int, int> tries;
    for (const ShareRecord& share : scene.site->shares()) ++tries[share.item];
    for (const int row : {11, 12, 13}) QCOMPARE(tries[500 + row], 2);
    QCOMPARE(tries[kFailingItem], 1);
    // The summary counts each row once, by its final result.
    QVERIFY2(run.err.contains(QStringLiteral("共30个：成功 24 失败 4 地址错误 2")),
             qPrintable(run.err));
    const QString shared = scene.sharedOnceProblems();
    QVERIFY2(shared.isEmpty(), qPrintable(shared));
  }

  // SIGTERM during a long mute hold ends the run at once (status 143), with
  // nothing marked for the held row and the pass kept for --resume.
  void stopDuringAHold() {
    DemoOptions options;
    options.muteAfter = 5;
    options.muteSeconds = 600;
    Scene scene(options);
    // A hundred minutes designed: ten minutes at this scale.
    QVERIFY(scene.prepare("muteHoldMinutes = [100]\n"));

    QProcess run;
    run.setProcessEnvironment(headlessEnvironment(kTimeScale));
    run.start(quillet::testing::quilletPath(), scene.runArgs());
    QVERIFY(run.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += run.readAllStandardOutput()).contains("\"event\":\"hold\""),
                             200'000);
    ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
    // Far less than the hold: the stop does not wait it out.
    QVERIFY(run.waitForFinished(120'000));
    QCOMPARE(run.exitCode(), 143);
    const QString err = QString::fromUtf8(run.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("已停止（SIGTERM）")), qPrintable(err));
    QCOMPARE(scene.made().size(), std::size_t{5});
    int results = 0;
    for (const QJsonObject& line : jsonLines(QString::fromUtf8(out + run.readAllStandardOutput())))
      if (!line.contains(QStringLiteral("event"))) ++results;
    QCOMPARE(results, 5);

    QStringList resume = scene.runArgs();
    resume << QStringLiteral("--resume");
    QProcess second;
    second.setProcessEnvironment(headlessEnvironment(kTimeScale));
    second.start(quillet::testing::quilletPath(), resume);
    QVERIFY(second.waitForStarted());
    QByteArray again;
    QTRY_VERIFY_WITH_TIMEOUT(
        (again += second.readAllStandardOutput()).contains("\"event\":\"hold\""), 200'000);
    QVERIFY2(again.contains("\"row\":6"), again.constData());
    second.kill();
    QVERIFY(second.waitForFinished(10'000));
  }

  // SIGKILL during a mute hold: the restarted run goes on with the same
  // hold (the same end time) before it takes any row, then shares the rest.
  void killDuringHoldResumesTheHold() {
    DemoOptions options;
    options.muteAfter = 5;
    options.muteSeconds = 4;
    Scene scene(options);
    // Two minutes designed: 12 s at this scale.
    QVERIFY(scene.prepare("muteHoldMinutes = [2]\n"));

    QProcess first;
    first.setProcessEnvironment(headlessEnvironment(kTimeScale));
    first.start(quillet::testing::quilletPath(), scene.runArgs());
    QVERIFY(first.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += first.readAllStandardOutput()).contains("\"event\":\"hold\""),
                             200'000);
    first.kill();  // SIGKILL in the hold
    QVERIFY(first.waitForFinished(10'000));
    QJsonObject held;
    for (const QJsonObject& line : jsonLines(QString::fromUtf8(out)))
      if (line.value(QStringLiteral("event")).toString() == QStringLiteral("hold")) held = line;
    QCOMPARE(held.value(QStringLiteral("reason")).toString(), QStringLiteral("muted"));
    QCOMPARE(held.value(QStringLiteral("row")).toInt(), 6);

    QStringList resume = scene.runArgs();
    resume << QStringLiteral("--resume");
    const ProcessResult second = runQuillet(resume, {}, headlessEnvironment(kTimeScale), 300'000);
    QVERIFY2(second.exitCode == 1, qPrintable(describe(second)));
    QVERIFY2(journalKept(second), qPrintable(second.err));
    const QList<QJsonObject> lines = jsonLines(second.out);
    QVERIFY2(!lines.isEmpty(), qPrintable(describe(second)));
    // The first thing the restarted run does is the same hold.
    QCOMPARE(lines.first().value(QStringLiteral("event")).toString(), QStringLiteral("hold"));
    QCOMPARE(lines.first().value(QStringLiteral("reason")).toString(), QStringLiteral("muted"));
    QCOMPARE(lines.first().value(QStringLiteral("row")).toInt(), 6);
    QCOMPARE(lines.first().value(QStringLiteral("until")).toString(),
             held.value(QStringLiteral("until")).toString());
    const QString statuses = scene.statusProblems(jsonLines(QString::fromUtf8(out)) + lines);
    QVERIFY2(statuses.isEmpty(), qPrintable(statuses + u'\n' + describe(second)));
    const QString shared = scene.sharedOnceProblems();
    QVERIFY2(shared.isEmpty(), qPrintable(shared));
  }
};

QTEST_GUILESS_MAIN(HoldRunTest)
#include "hold_run_test.moc"
