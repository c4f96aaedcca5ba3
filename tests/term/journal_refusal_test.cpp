// `quillet run` and a journal it cannot trust: a journal file that cannot be
// written refuses the run (nothing is shared that could not be recorded),
// and a journal whose last session turned itself off offers no place to go
// on from.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "demo/demo_site.h"
#include "journal/journal.h"
#include "tests/journal/unwritable_path.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::readFile;
using quillet::testing::runQuillet;
using quillet::testing::Unwritable;
using quillet::testing::writeFile;

namespace {

constexpr char kCaptcha[] = "4417";
constexpr double kTimeScale = 0.1;

}  // namespace

class JournalRefusalTest : public QObject {
  Q_OBJECT

  std::unique_ptr<DemoSite> site_;

  QString site() const { return QString::fromStdString(site_->baseUrl()); }
  QString item(int id) const { return QString::fromStdString(site_->itemUrl(id)); }

  // A data folder signed in with `quillet login`.
  bool signIn(const QString& dataDir) {
    QProcessEnvironment env = headlessEnvironment(kTimeScale);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("demo123"));
    const ProcessResult login =
        runQuillet({QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("demo"),
                    QStringLiteral("--site"), site(), QStringLiteral("--data-dir"), dataDir},
                   QByteArray(kCaptcha) + "\n", env);
    if (login.exitCode != 0) qWarning("%s", qPrintable(describe(login)));
    return login.exitCode == 0;
  }

  QStringList runArgs(const QString& list, const QString& dataDir) const {
    return {QStringLiteral("run"),        list,   QStringLiteral("--site"), site(),
            QStringLiteral("--data-dir"), dataDir};
  }

 private Q_SLOTS:
  void initTestCase() {
    DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    site_ = std::make_unique<DemoSite>(options);
    QVERIFY(site_->start());
  }

  void init() { site_->clearShares(); }

  // The journal of a signed-in folder is read-only: the run says that
  // nothing would be recorded, shares nothing, exits 5 and leaves the
  // journal as it was.
  void unwritableJournalRefusesTheRun() {
    QTemporaryDir data;
    QVERIFY(signIn(data.path()));
    QTemporaryDir work;
    const QString first = work.filePath(QStringLiteral("first.txt"));
    QVERIFY(writeFile(first, item(801).toUtf8() + '\n'));
    const ProcessResult made =
        runQuillet(runArgs(first, data.path()), {}, headlessEnvironment(kTimeScale));
    QVERIFY2(made.exitCode == 0, qPrintable(describe(made)));
    QCOMPARE(site_->shares().size(), size_t(1));

    const QString journal = QDir(data.path()).filePath(Journal::fileName());
    const QByteArray before = readFile(journal);
    QVERIFY(!before.isEmpty());
    const QString second = work.filePath(QStringLiteral("second.txt"));
    QVERIFY(writeFile(second, item(802).toUtf8() + '\n' + item(803).toUtf8() + '\n'));
    {
      Unwritable guard(journal);
      if (!guard.ok()) QSKIP("this file system cannot make a file unwritable");
      const ProcessResult refused =
          runQuillet(runArgs(second, data.path()), {}, headlessEnvironment(kTimeScale));
      QVERIFY2(refused.exitCode == 5, qPrintable(describe(refused)));
      QVERIFY2(refused.err.contains(QStringLiteral("只能读取")), qPrintable(describe(refused)));
      QVERIFY2(refused.err.contains(QStringLiteral("没有开始分享")), qPrintable(describe(refused)));
      QVERIFY(refused.out.isEmpty());
    }
    QCOMPARE(site_->shares().size(), size_t(1));
    QCOMPARE(readFile(journal), before);
    // Writable again, the same list is there.
    Journal reopened;
    QVERIFY(reopened.open(data.path()));
    const JournalSnapshot s = reopened.restore();
    QCOMPARE(s.rows.size(), 1);
    QCOMPARE(s.rows[0].status, QStringLiteral("成功"));
  }

  // The run was killed mid-pass after its journal had turned itself off (a
  // full disk; the journal leaves its mark beside the file): --resume says
  // the record stopped short, shares nothing and exits 2; a later --resume
  // shares nothing either.
  void resumeAfterTheJournalTurnedOffIsRefused() {
    QTemporaryDir data;
    QVERIFY(signIn(data.path()));
    QTemporaryDir work;
    const QString list = work.filePath(QStringLiteral("list.txt"));
    QByteArray lines;
    for (int id = 811; id <= 814; ++id) lines += item(id).toUtf8() + '\n';
    QVERIFY(writeFile(list, lines));
    QProcess first;
    first.setProcessEnvironment(headlessEnvironment(kTimeScale));
    first.start(quillet::testing::quilletPath(), runArgs(list, data.path()));
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(site_->shares().size() >= 1, 120000);
    first.kill();
    QVERIFY(first.waitForFinished(30000));
    const size_t sharedBefore = site_->shares().size();
    QVERIFY(sharedBefore < 4);
    {
      // The journal had an interrupted pass to offer.
      Journal peek;
      QVERIFY(peek.open(data.path()));
      QVERIFY(peek.restore().resumeRow >= 0);
    }
    // What a journal that turned itself off leaves beside its file.
    const QString marker =
        QDir(data.path()).filePath(Journal::fileName() + QStringLiteral("-incomplete"));
    QVERIFY(writeFile(marker, "2026-12-10 09:00:00.000"));

    QStringList resume = runArgs(list, data.path());
    resume << QStringLiteral("--resume");
    const ProcessResult refused = runQuillet(resume, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(refused.exitCode == 2, qPrintable(describe(refused)));
    QVERIFY2(refused.err.contains(QStringLiteral("停止了记录")), qPrintable(describe(refused)));
    QVERIFY(refused.out.isEmpty());
    QCOMPARE(site_->shares().size(), sharedBefore);
    QVERIFY(!QFile::exists(marker));

    const ProcessResult again = runQuillet(resume, {}, headlessEnvironment(kTimeScale));
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    QCOMPARE(site_->shares().size(), sharedBefore);
  }
};

QTEST_GUILESS_MAIN(JournalRefusalTest)
#include "journal_refusal_test.moc"
