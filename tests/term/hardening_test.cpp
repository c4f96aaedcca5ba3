// What a terminal user meets when things go wrong around `quillet run` and
// `quillet check`: refused runs that must change nothing, results that cannot
// be written, signals before and during the pass, a data folder in use or
// unusable, a stale display, hostile profile and address files. Each as a
// process against the demo site.
#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>

#include "demo/demo_site.h"
#include "journal/data_folder_lock.h"
#include "tests/term/pty_process.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::PtyProcess;
using quillet::testing::readFile;
using quillet::testing::runQuillet;
using quillet::testing::writeFile;

namespace {

constexpr char kCaptcha[] = "7139";
constexpr double kTimeScale = 0.1;

}  // namespace

class HardeningTest : public QObject {
  Q_OBJECT

  std::unique_ptr<DemoSite> site_;
  QTemporaryDir signedIn_;

  QString site() const { return QString::fromStdString(site_->baseUrl()); }
  QString item(int id) const { return QString::fromStdString(site_->itemUrl(id)); }

  QStringList runArgs(const QString& list, const QString& dataDir) const {
    return {QStringLiteral("run"),        list,   QStringLiteral("--site"), site(),
            QStringLiteral("--data-dir"), dataDir};
  }
  QStringList checkArgs(const QString& dataDir) const {
    return {QStringLiteral("check"), QStringLiteral("--site"), site(), QStringLiteral("--data-dir"),
            dataDir};
  }

  QString listOf(const QTemporaryDir& dir, int first, int last) const {
    QByteArray lines;
    for (int id = first; id <= last; ++id) lines += item(id).toUtf8() + '\n';
    const QString path = dir.filePath(QStringLiteral("list-%1.txt").arg(first));
    return writeFile(path, lines) ? path : QString();
  }

  std::map<int, int> sharesByItem() const {
    std::map<int, int> made;
    for (const ShareRecord& share : site_->shares()) made[share.item] += share.ok ? 1 : 0;
    return made;
  }

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

  void init() { site_->clearShares(); }

  // A pass stopped by SIGTERM stays resumable through every refused run
  // after it (a mistyped file, a short period, an empty file, a device, a
  // file too big, a --csv file that cannot be written): each exits 2 with
  // its reason, writes nothing to standard output and changes nothing, so
  // --resume then shares the rest, each item once, and its progress bar on
  // the terminal ends full.
  void refusedRunsChangeNothing() {
    QTemporaryDir work;
    const QString list = listOf(work, 101, 108);
    QProcess run;
    run.setProcessEnvironment(headlessEnvironment(kTimeScale));
    run.start(quillet::testing::quilletPath(), runArgs(list, signedIn_.path()));
    QVERIFY(run.waitForStarted());
    QByteArray out;
    {
      QString why;
      QVERIFY2(quillet::testing::waitForLines(run, out, 3, 120000, &why), qPrintable(why));
    }
    ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 143);
    const size_t sharedBefore = site_->shares().size();
    QVERIFY(sharedBefore >= 2 && sharedBefore < 8);

    const QString blank = work.filePath(QStringLiteral("blank.txt"));
    QVERIFY(writeFile(blank, "\n   \n\t\r\n"));
    const QString huge = work.filePath(QStringLiteral("huge.txt"));
    {
      QFile file(huge);
      QVERIFY(file.open(QIODevice::WriteOnly));
      QVERIFY(file.resize(qint64(257) * 1024 * 1024));  // sparse: no disk taken
    }
    struct Refusal {
      QStringList args;
      QString says;
    };
    const QString csvInNoFolder = work.filePath(QStringLiteral("no/such/folder/out.csv"));
    const QList<Refusal> refusals{
        {runArgs(work.filePath(QStringLiteral("mistyped.txt")), signedIn_.path()),
         QStringLiteral("无法读取文件")},
        {runArgs(list, signedIn_.path()) << QStringLiteral("--period") << QStringLiteral("20"),
         QStringLiteral("请先导入地址和设定周期（必须大于21秒，否则你的帐号可能会被禁言）")},
        {runArgs(blank, signedIn_.path()), QStringLiteral("中没有地址")},
        {runArgs(QStringLiteral("/dev/zero"), signedIn_.path()), QStringLiteral("不是普通文件")},
        {runArgs(huge, signedIn_.path()), QStringLiteral("文件大于256 MiB")},
        {runArgs(list, signedIn_.path()) << QStringLiteral("--csv") << csvInNoFolder,
         QStringLiteral("无法写入")},
    };
    for (const Refusal& refusal : refusals) {
      const ProcessResult r = runQuillet(refusal.args, {}, headlessEnvironment(kTimeScale));
      QVERIFY2(r.exitCode == 2, qPrintable(describe(r)));
      QVERIFY2(r.err.contains(refusal.says), qPrintable(describe(r)));
      QVERIFY2(!r.err.contains(QStringLiteral("请先导入")) ||
                   refusal.says.startsWith(QStringLiteral("请先导入")),
               qPrintable(describe(r)));
      QVERIFY2(r.out.isEmpty(), qPrintable(describe(r)));
    }
    QCOMPARE(site_->shares().size(), sharedBefore);
    QVERIFY(!QFileInfo::exists(csvInNoFolder));

    // The rest, on a terminal: the live line's bar ends full.
    PtyProcess resumed;
    QProcessEnvironment env = headlessEnvironment(kTimeScale);
    env.insert(QStringLiteral("TERM"), QStringLiteral("xterm-256color"));
    QVERIFY(resumed.start(runArgs(list, signedIn_.path()) << QStringLiteral("--resume"), env));
    const int status = resumed.waitForExit(180000);
    const QString text = QString::fromUtf8(resumed.terminalText());
    QVERIFY2(status == 0, qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("继续上次中断的分享")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("[####################] 第8/8个")), qPrintable(text));
    const std::map<int, int> made = sharesByItem();
    for (int id = 101; id <= 108; ++id) {
      QVERIFY2(made.count(id) == 1 && made.at(id) == 1, qPrintable(QString::number(id)));
    }
  }

  // Results that cannot be written are not lost without a word: a full disk
  // or a reader that went away is said on standard error, the run stops at
  // the next step and exits 1.
  void resultsThatCannotBeWrittenStopTheRun() {
    QTemporaryDir work;
    const QString list = listOf(work, 201, 208);
    {
      QProcess run;
      run.setProcessEnvironment(headlessEnvironment(kTimeScale));
      run.setStandardOutputFile(QStringLiteral("/dev/full"));
      run.start(quillet::testing::quilletPath(), runArgs(list, signedIn_.path()));
      QVERIFY(run.waitForFinished(120000));
      const QString err = QString::fromUtf8(run.readAllStandardError());
      QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 1, qPrintable(err));
      QVERIFY2(err.contains(QStringLiteral("无法写入标准输出")), qPrintable(err));
      // The header fails before the first share: nothing, or at most the row in flight.
      QVERIFY2(site_->shares().size() <= 1, qPrintable(err));
    }
    site_->clearShares();
    {
      QProcess run;
      QProcess head;
      run.setStandardOutputProcess(&head);
      run.setProcessEnvironment(headlessEnvironment(kTimeScale));
      head.start(QStringLiteral("head"), {QStringLiteral("-c"), QStringLiteral("5")});
      run.start(quillet::testing::quilletPath(), runArgs(list, signedIn_.path()));
      QVERIFY(run.waitForFinished(120000));
      head.waitForFinished(5000);
      const QString err = QString::fromUtf8(run.readAllStandardError());
      QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 1, qPrintable(err));
      QVERIFY2(err.contains(QStringLiteral("无法写入标准输出")), qPrintable(err));
      QVERIFY2(site_->shares().size() < 8, qPrintable(err));
    }
  }

  // A signal during the start-up sign-in check (a site that accepts the
  // connection and never answers) ends the run at once with its status, not
  // after the check's limit with "unreachable". SIGHUP mid-pass stops like
  // SIGTERM: the summary, the --csv file, status 129.
  void signalsBeforeAndDuringThePass() {
    QTemporaryDir work;
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QString list = listOf(work, 301, 310);
    QProcess run;
    run.setProcessEnvironment(headlessEnvironment(kTimeScale));
    run.start(quillet::testing::quilletPath(),
              {QStringLiteral("run"), list, QStringLiteral("--site"),
               QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()),
               QStringLiteral("--data-dir"), signedIn_.path()});
    QVERIFY(run.waitForStarted());
    QVERIFY(silent.waitForNewConnection(60000));
    ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
    QVERIFY(run.waitForFinished(60000));
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 143,
             qPrintable(QString::fromUtf8(run.readAllStandardError())));

    const QString csv = work.filePath(QStringLiteral("results.csv"));
    QProcess hungUp;
    hungUp.setProcessEnvironment(headlessEnvironment(kTimeScale));
    hungUp.start(quillet::testing::quilletPath(), runArgs(list, signedIn_.path())
                                                      << QStringLiteral("--csv") << csv);
    QVERIFY(hungUp.waitForStarted());
    QByteArray out;
    {
      QString why;
      QVERIFY2(quillet::testing::waitForLines(hungUp, out, 2, 120000, &why), qPrintable(why));
    }
    ::kill(static_cast<pid_t>(hungUp.processId()), SIGHUP);
    QVERIFY(hungUp.waitForFinished(60000));
    const QString err = QString::fromUtf8(hungUp.readAllStandardError());
    QVERIFY2(hungUp.exitStatus() == QProcess::NormalExit && hungUp.exitCode() == 129,
             qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("已停止（SIGHUP）")), qPrintable(err));
    const QByteArray saved = readFile(csv);
    QVERIFY2(saved.startsWith("\xEF\xBB\xBF"), saved.left(20).toHex().constData());
    QVERIFY(saved.contains(item(301).toUtf8() + ",成功,"));
  }

  // check takes the data folder's lock like run and login: 5 while another
  // holds it, 5 with the reason when the lock cannot be made at all. It runs
  // offscreen under a stale DISPLAY, and an unreachable site is status 4 as
  // for run and login. Signed out, the hint names the folder to sign in.
  void checkLocksAndReportsTheSite() {
    {
      DataFolderLock held(signedIn_.path());
      QVERIFY(held.tryLock());
      const ProcessResult r =
          runQuillet(checkArgs(signedIn_.path()), {}, headlessEnvironment(kTimeScale));
      QVERIFY2(r.exitCode == 5, qPrintable(describe(r)));
      QVERIFY2(r.err.contains(QStringLiteral("另一个Quillet正在使用此数据文件夹")),
               qPrintable(describe(r)));
    }
    // A folder where no file can be made (it exists, so nothing else stops first).
    const ProcessResult unlockable =
        runQuillet({QStringLiteral("check"), QStringLiteral("--site"), site(),
                    QStringLiteral("--data-dir"), QStringLiteral("/proc")},
                   {}, headlessEnvironment(kTimeScale));
    QVERIFY2(unlockable.exitCode == 5, qPrintable(describe(unlockable)));
    QVERIFY2(unlockable.err.contains(QStringLiteral("无法在数据文件夹/proc中建立锁文件：")),
             qPrintable(describe(unlockable)));

    QProcessEnvironment stale = headlessEnvironment(kTimeScale);
    stale.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97"));
    const ProcessResult ok = runQuillet(checkArgs(signedIn_.path()), {}, stale);
    QVERIFY2(ok.exitCode == 0, qPrintable(describe(ok)));
    QVERIFY(site_->shares().empty());

    const ProcessResult unreachable = runQuillet(
        {QStringLiteral("check"), QStringLiteral("--site"), QStringLiteral("http://127.0.0.1:1"),
         QStringLiteral("--data-dir"), signedIn_.path()},
        {}, stale);
    QVERIFY2(unreachable.exitCode == 4, qPrintable(describe(unreachable)));

    QTemporaryDir fresh;
    const QString list = listOf(fresh, 1, 1);
    const ProcessResult signedOut =
        runQuillet(runArgs(list, fresh.path()), {}, headlessEnvironment(kTimeScale));
    QVERIFY2(signedOut.exitCode == 3, qPrintable(describe(signedOut)));
    QVERIFY2(signedOut.err.contains(QStringLiteral("--data-dir ") + fresh.path()),
             qPrintable(describe(signedOut)));
    QVERIFY2(signedOut.err.contains(QStringLiteral("数据文件夹：") + fresh.path()),
             qPrintable(describe(signedOut)));
    // The engine's notes about itself and the pages' console stay out of the log.
    for (const ProcessResult& r : {ok, unreachable, signedOut}) {
      QVERIFY2(!r.err.contains(QStringLiteral("WebEngineContext")) &&
                   !r.err.contains(QStringLiteral("js: ")),
               qPrintable(r.err));
    }
  }

  // A site profile whose key or table header has tens of thousands of dotted
  // parts once crashed every start in the TOML parser: now it is refused with
  // its file and line, status 2, before any browser starts.
  void deepProfileKeysAreRefused() {
    QTemporaryDir data;
    const QString profile = data.filePath(QStringLiteral("site.toml"));
    const QString list = listOf(data, 1, 1);
    const QByteArray deepKey = "# mine\nk" + QByteArray(".k").repeated(50000) + " = 1\n";
    const QByteArray deepTable = "[" + QByteArray("t.").repeated(50000) + "t]\n";
    for (const QByteArray& text : {deepKey, deepTable}) {
      QVERIFY(writeFile(profile, text));
      for (const QStringList& args : {runArgs(list, data.path()), checkArgs(data.path())}) {
        const ProcessResult r = runQuillet(args, {}, headlessEnvironment(kTimeScale));
        QVERIFY2(!r.crashed && r.exitCode == 2, qPrintable(describe(r)));
        const QString where =
            profile + (text == deepKey ? QStringLiteral(":2:") : QStringLiteral(":1:"));
        QVERIFY2(r.err.contains(where + QStringLiteral(" key or table nested too deeply")),
                 qPrintable(describe(r)));
      }
    }
  }

  // A mistyped subcommand neither opens the window nor aborts: status 2 and
  // the list of commands.
  void unknownCommand() {
    QTemporaryDir work;
    const ProcessResult r =
        runQuillet({QStringLiteral("runn"), work.filePath(QStringLiteral("list.txt"))});
    QVERIFY2(r.exitCode == 2, qPrintable(describe(r)));
    QVERIFY(r.err.contains(QStringLiteral("unknown command 'runn'")));
    for (const char* command : {"login", "run", "check", "profile"}) {
      QVERIFY2(r.err.contains(QStringLiteral("  %1 ").arg(QLatin1String(command))),
               qPrintable(r.err));
    }
  }
};

QTEST_GUILESS_MAIN(HardeningTest)
#include "hardening_test.moc"
