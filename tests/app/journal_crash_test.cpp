// The journal against crashes: the real program (journal_child) shares a
// list on the demo site and is killed at each step boundary of a pass. The
// journal it leaves must agree with the site's own record of shares: every
// item the site shared is "成功" or "未确认" in the list, and nothing
// shared is lost. A second run of the program then restores the list and
// goes on with "发表" where the pass stopped, sharing nothing twice.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>

#include "demo/demo_site.h"
#include "journal/journal.h"

using namespace quillet;

namespace {

constexpr int kFailingItem = 502;

struct ChildRun {
  bool crashed = false;
  int exitCode = -1;
  QString output;
};

ChildRun runChild(const QStringList& arguments) {
  QProcess child;
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.start(QStringLiteral(QUILLET_JOURNAL_CHILD), arguments);
  ChildRun run;
  if (!child.waitForStarted(20000)) return run;
  child.waitForFinished(240000);
  if (child.state() != QProcess::NotRunning) {
    child.kill();
    child.waitForFinished();
  }
  run.crashed = child.exitStatus() == QProcess::CrashExit;
  run.exitCode = child.exitCode();
  run.output = QString::fromUtf8(child.readAllStandardOutput());
  const QString errors = QString::fromUtf8(child.readAllStandardError());
  if (!run.crashed && run.exitCode != 0) qWarning().noquote() << errors;
  return run;
}

JournalSnapshot readJournal(const QString& dir) {
  Journal journal;
  if (!journal.open(dir)) return {};
  return journal.restore();
}

}  // namespace

class JournalCrashTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void killedAtEveryStepBoundary_data();
  void killedAtEveryStepBoundary();

 private:
  std::unique_ptr<DemoSite> site_;
};

void JournalCrashTest::initTestCase() {
  DemoOptions options;
  options.fixedCaptcha = "7139";
  options.failItems = {kFailingItem};
  site_ = std::make_unique<DemoSite>(options);
  QVERIFY(site_->start());
}

void JournalCrashTest::killedAtEveryStepBoundary_data() {
  QTest::addColumn<QString>("killAt");
  // The list reads, top to bottom: item 21, the failing item, item 23.
  for (int row = 0; row < 3; ++row) {
    for (const char* event : {"address", "confirm", "clicked", "result"}) {
      const QString at = QStringLiteral("%1:%2").arg(QLatin1String(event)).arg(row);
      QTest::newRow(qPrintable(at)) << at;
    }
  }
}

void JournalCrashTest::killedAtEveryStepBoundary() {
  QFETCH(QString, killAt);
  site_->clearShares();
  QTemporaryDir data;
  const QString list = data.filePath(QStringLiteral("addresses.txt"));
  const QStringList items{QString::fromStdString(site_->itemUrl(21)),
                          QString::fromStdString(site_->itemUrl(kFailingItem)),
                          QString::fromStdString(site_->itemUrl(23))};
  {
    QFile file(list);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Imported lines land reversed: write them bottom first.
    file.write((QStringList{items[2], items[1], items[0]}.join(u'\n') + u'\n').toUtf8());
  }
  const QStringList common{QStringLiteral("--site"), QString::fromStdString(site_->baseUrl()),
                           QStringLiteral("--data-dir"), data.path()};

  const ChildRun first = runChild(
      common + QStringList{QStringLiteral("--import"), list, QStringLiteral("--kill-at"), killAt});
  QVERIFY2(first.crashed, qPrintable(first.output));
  QVERIFY2(first.output.contains(QStringLiteral("killed at ") + killAt), qPrintable(first.output));

  // The journal against the site's record.
  const JournalSnapshot after = readJournal(data.path());
  QCOMPARE(after.rows.size(), 3);
  std::map<QString, QString> status;
  for (const JournalRow& row : after.rows) status[row.address] = row.status;
  for (const ShareRecord& share : site_->shares()) {
    const QString address = QString::fromStdString(share.address);
    QVERIFY2(status.count(address) == 1, qPrintable(address));
    if (!share.ok) {
      QVERIFY2(status[address] == QStringLiteral("失败") || status[address] == unconfirmedStatus(),
               qPrintable(status[address]));
      continue;
    }
    QVERIFY2(status[address] == QStringLiteral("成功") || status[address] == unconfirmedStatus(),
             qPrintable(killAt + QStringLiteral(": ") + address + QStringLiteral(" ") +
                        status[address]));
  }
  // Nothing the list calls shared is unknown to the site.
  for (const auto& [address, text] : status) {
    if (text != QStringLiteral("成功")) continue;
    bool known = false;
    for (const ShareRecord& share : site_->shares())
      known |= share.ok && QString::fromStdString(share.address) == address;
    QVERIFY2(known, qPrintable(address));
  }
  // The killed row: once its confirm was recorded, only its result tells
  // whether it was shared; without one it is "未确认".
  const QString event = killAt.section(u':', 0, 0);
  const int killedRow = killAt.section(u':', 1).toInt();
  const QString killedStatus = after.rows[killedRow].status;
  if (event == QStringLiteral("confirm") || event == QStringLiteral("clicked")) {
    QCOMPARE(killedStatus, unconfirmedStatus());
  } else if (event == QStringLiteral("result")) {
    QCOMPARE(killedStatus, killedRow == 1 ? QStringLiteral("失败") : QStringLiteral("成功"));
  } else {
    QCOMPARE(killedStatus, QString());  // entered, never confirmed: not shared
  }
  // An unconfirmed row waits for the user, never in the failed list.
  for (const QString& failed : after.failed) QVERIFY(status[failed] == QStringLiteral("失败"));
  QVERIFY(after.resumeRow >= 0 || after.rows.last().status != QString());

  // The program again: it restores the list, and "发表" goes on where the
  // pass was interrupted (a pass that had reached its end is not repeated).
  const bool interrupted = after.resumeRow >= 0;
  const ChildRun second =
      runChild(common + (interrupted ? QStringList{QStringLiteral("--publish")} : QStringList{}));
  QVERIFY2(!second.crashed && second.exitCode == 0, qPrintable(second.output));
  const QString interruptedStatus =
      QStringLiteral("status 上次分享在第%1个地址中断，登录后按“发表”继续")
          .arg(after.resumeRow + 1);
  QCOMPARE(second.output.contains(interruptedStatus), interrupted);
  if (interrupted) {
    QVERIFY2(second.output.contains(QStringLiteral("resumed-at %1").arg(after.resumeRow)),
             qPrintable(second.output));
  }
  std::map<QString, int> sharedTimes;
  for (const ShareRecord& share : site_->shares())
    if (share.ok) ++sharedTimes[QString::fromStdString(share.address)];
  for (const auto& [address, times] : sharedTimes)
    QVERIFY2(times == 1, qPrintable(QStringLiteral("%1 shared %2 times").arg(address).arg(times)));

  // Every row has its outcome now; each "成功" is one share on the site.
  const JournalSnapshot final = readJournal(data.path());
  QCOMPARE(final.rows.size(), 3);
  QCOMPARE(final.resumeRow, -1);
  for (const JournalRow& row : final.rows) {
    if (row.status == QStringLiteral("成功")) QCOMPARE(sharedTimes[row.address], 1);
    if (row.address == items[1]) {
      QVERIFY(row.status != QStringLiteral("成功"));
    }
    QVERIFY2(row.status == QStringLiteral("成功") || row.status == QStringLiteral("失败") ||
                 row.status == unconfirmedStatus(),
             qPrintable(row.address + QStringLiteral(" ") + row.status));
  }
}

QTEST_GUILESS_MAIN(JournalCrashTest)
#include "journal_crash_test.moc"
