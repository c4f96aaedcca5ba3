// `quillet run --loop` stopped by SIGTERM at the result check, over many
// tries: the signal is sent the moment the demo site records a share, which
// is after the confirm was clicked and before the program reads the result.
// A share the site recorded must never be reported or journalled as 失败
// (a re-send would share it twice): its row is 成功, or 未确认 when the
// result could not be read. Half of the tries signal the whole process group,
// as a terminal's Ctrl-C or `timeout` do, which also reaches the browser
// engine's helper processes.
#include <signal.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <random>

#include "demo/demo_site.h"
#include "journal/journal.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::runQuillet;
using quillet::testing::writeFile;

namespace {

constexpr char kCaptcha[] = "5821";
constexpr double kTimeScale = 0.1;
constexpr int kTries = 16;

}  // namespace

class StopAtResultTest : public QObject {
  Q_OBJECT

  std::unique_ptr<DemoSite> site_;
  QTemporaryDir signedIn_;

  QString site() const { return QString::fromStdString(site_->baseUrl()); }
  QString item(int id) const { return QString::fromStdString(site_->itemUrl(id)); }

 private Q_SLOTS:
  void initTestCase() {
    DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    site_ = std::make_unique<DemoSite>(options);
    QVERIFY(site_->start());
    QProcessEnvironment env = headlessEnvironment(kTimeScale);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("demo123"));
    const ProcessResult login = runQuillet(
        {QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("demo"),
         QStringLiteral("--site"), site(), QStringLiteral("--data-dir"), signedIn_.path()},
        QByteArray(kCaptcha) + "\n", env);
    QVERIFY2(login.exitCode == 0, qPrintable(describe(login)));
  }

  void sigtermAtTheResultCheckNeverRecordsASharedRowAsFailed() {
    QTemporaryDir work;
    const QString list = work.filePath(QStringLiteral("list.txt"));
    QVERIFY(writeFile(list, (item(701) + u'\n' + item(702) + u'\n').toUtf8()));
    std::mt19937 random(20261210);
    for (int attempt = 0; attempt < kTries; ++attempt) {
      const bool wholeGroup = attempt % 2 == 0;
      // Which share of the run the signal lands on: one of the first round
      // or one of the loop's second round.
      const int atShare = 1 + static_cast<int>(random() % 3);
      const QString context =
          QStringLiteral("try %1 (share %2, %3)")
              .arg(attempt)
              .arg(atShare)
              .arg(wholeGroup ? QStringLiteral("process group") : QStringLiteral("process"));
      site_->clearShares();

      QProcess run;
      run.setProcessEnvironment(headlessEnvironment(kTimeScale));
      // A group of its own, so that the whole of it can be signalled.
      run.setChildProcessModifier([] { ::setpgid(0, 0); });
      run.start(quillet::testing::quilletPath(),
                {QStringLiteral("run"), list, QStringLiteral("--loop"), QStringLiteral("--site"),
                 site(), QStringLiteral("--data-dir"), signedIn_.path()});
      QVERIFY2(run.waitForStarted(), qPrintable(context));
      const auto pid = static_cast<pid_t>(run.processId());

      // The site records a share when its confirm arrives and answers right
      // after; the program reads the answer only after its result wait.
      QDeadlineTimer deadline(120'000);
      while (site_->shares().size() < size_t(atShare) && !deadline.hasExpired() &&
             run.state() == QProcess::Running) {
        QTest::qWait(2);
      }
      QVERIFY2(site_->shares().size() >= size_t(atShare),
               qPrintable(context + u'\n' + QString::fromUtf8(run.readAllStandardError())));
      ::kill(wholeGroup ? -pid : pid, SIGTERM);
      QVERIFY2(run.waitForFinished(90'000), qPrintable(context));
      const QString out = QString::fromUtf8(run.readAllStandardOutput());
      const QString err = QString::fromUtf8(run.readAllStandardError());
      const QString report =
          context + QStringLiteral("\n--- stdout\n") + out + QStringLiteral("\n--- stderr\n") + err;
      QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 143,
               qPrintable(report));

      // Every share the site saw was made (the site fails none here), and
      // the run reported none of them as failed.
      for (const ShareRecord& share : site_->shares()) QVERIFY2(share.ok, qPrintable(report));
      QVERIFY2(!out.contains(QStringLiteral("失败")), qPrintable(report));
      int reported = 0;
      for (const QString& line : out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (line.contains(QStringLiteral(",成功,"))) ++reported;
      }
      // The share in flight is 成功 or left out of the results (未确认).
      const int shares = static_cast<int>(site_->shares().size());
      QVERIFY2(reported == shares || reported == shares - 1, qPrintable(report));

      // The journal agrees: no row 失败, nothing in the failed list, and the
      // row in flight is 成功 or 未确认.
      Journal journal;
      QVERIFY2(journal.open(signedIn_.path()), qPrintable(journal.message()));
      const JournalSnapshot snapshot = journal.restore();
      QCOMPARE(snapshot.rows.size(), 2);
      const QString inFlight = QString::fromStdString(site_->shares().back().address);
      bool found = false;
      for (const JournalRow& row : snapshot.rows) {
        QVERIFY2(row.status != QStringLiteral("失败"), qPrintable(report));
        if (row.address != inFlight) continue;
        found = true;
        qInfo("%s: the row in flight is %s", qPrintable(context), qPrintable(row.status));
        QVERIFY2(row.status == QStringLiteral("成功") || row.status == QStringLiteral("未确认"),
                 qPrintable(row.status + u'\n' + report));
      }
      QVERIFY2(found, qPrintable(report));
      QVERIFY2(snapshot.failed.isEmpty(), qPrintable(snapshot.failed.join(u' ') + u'\n' + report));
      journal.close();
    }
  }
};

QTEST_GUILESS_MAIN(StopAtResultTest)
#include "stop_at_result_test.moc"
