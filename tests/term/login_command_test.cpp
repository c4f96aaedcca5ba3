// `quillet login` run as a process against the demo site, as a user or a
// script would run it: captcha text on standard input, the password from a
// file or the environment, one data folder per account.
#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "demo/demo_site.h"
#include "tests/term/pty_process.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::ProcessResult;
using quillet::testing::PtyProcess;
using quillet::testing::runQuillet;

namespace {

constexpr char kCaptcha[] = "7139";

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readWhole(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class LoginCommandTest : public QObject {
  Q_OBJECT

  std::unique_ptr<DemoSite> site_;

  QString site() const { return QString::fromStdString(site_->baseUrl()); }

  // The account the site has signed in for the session that fetched the
  // last captcha picture: the session of the process that ran last.
  QString lastSessionUser(std::string* sessionId = nullptr) const {
    const auto captcha = site_->lastCaptcha();
    if (!captcha) return QStringLiteral("<no captcha fetched>");
    if (sessionId != nullptr) *sessionId = captcha->sessionId;
    const auto user = site_->sessionUser(captcha->sessionId);
    return user ? QString::fromStdString(*user) : QStringLiteral("<no session>");
  }

 private Q_SLOTS:
  void initTestCase() {
    DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    options.accounts = {{"张三", "mima 123"}, {"lisi", "secret"}};
    site_ = std::make_unique<DemoSite>(options);
    QVERIFY(site_->start());
  }

  // Help goes to standard output with a usage line naming the program; a
  // refused command line goes to standard error with status 2.
  void commandLine() {
    const ProcessResult help = runQuillet({QStringLiteral("--help")});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith(QLatin1String("Usage: quillet ")));
    QVERIFY2(help.out.contains(QLatin1String("\n  login ")), qPrintable(help.out));
    QVERIFY(help.out.contains(QLatin1String("\n  run ")));

    const ProcessResult loginHelp = runQuillet({QStringLiteral("login"), QStringLiteral("-h")});
    QCOMPARE(loginHelp.exitCode, 0);
    QVERIFY(loginHelp.out.startsWith(QLatin1String("Usage: quillet login ")));
    QVERIFY(loginHelp.out.contains(QLatin1String("--password-file")));
    QVERIFY(loginHelp.err.isEmpty());

    for (const QStringList& bad :
         {QStringList{QStringLiteral("login"), QStringLiteral("--no-such-option")},
          QStringList{QStringLiteral("login"), QStringLiteral("extra")},
          QStringList{QStringLiteral("login"), QStringLiteral("--site"), QStringLiteral("ftp://x")},
          QStringList{QStringLiteral("login"), QStringLiteral("--password-file"),
                      QStringLiteral("/nonexistent/pw"), QStringLiteral("--user"),
                      QStringLiteral("u")},
          QStringList{QStringLiteral("--no-such-option")}}) {
      const ProcessResult r = runQuillet(bad);
      QVERIFY2(r.exitCode == 2, qPrintable(bad.join(u' ') + u'\n' + describe(r)));
      QVERIFY2(r.err.contains(QLatin1String("Usage: quillet")), qPrintable(describe(r)));
      QVERIFY(r.out.isEmpty());
    }
  }

  // A missing captcha first: the site asks again, a fresh picture is saved
  // and the next line signs in. The password comes from a file (its final
  // line break is no part of it); the picture is a real one.
  void captchaFromStandardInputAndPasswordFromFile() {
    QTemporaryDir data;
    writeFile(data.filePath(QStringLiteral("pw")), "mima 123\n");
    const ProcessResult r =
        runQuillet({QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("张三"),
                    QStringLiteral("--password-file"), data.filePath(QStringLiteral("pw")),
                    QStringLiteral("--site"), site(), QStringLiteral("--data-dir"), data.path()},
                   QByteArray(" \n") + kCaptcha + "\n");
    QVERIFY2(r.exitCode == 0, qPrintable(describe(r)));
    const qsizetype wrong = r.err.indexOf(QStringLiteral("验证码错误"));
    QVERIFY2(wrong >= 0, qPrintable(describe(r)));
    QVERIFY(r.err.indexOf(QStringLiteral("登录成功")) > wrong);
    QCOMPARE(r.err.count(QStringLiteral("captcha.png")), 2);  // one picture per try
    QVERIFY(r.out.isEmpty());

    const QImage picture(data.filePath(QStringLiteral("captcha.png")), "PNG");
    QCOMPARE(picture.size(), QSize(80, 24));
    QCOMPARE(lastSessionUser(), QStringLiteral("张三"));
    QVERIFY(QFile::exists(data.filePath(QStringLiteral("browser"))));
    // Nothing was asked to be remembered.
    QVERIFY(!QFile::exists(data.filePath(QStringLiteral("password.txt"))) ||
            QFileInfo(data.filePath(QStringLiteral("password.txt"))).size() == 0);
  }

  // A mistyped captcha on a site whose pictures are random, as a user meets
  // it: the hint says 验证码错误 (not 用户名或密码错误), the same account is
  // tried again with a fresh picture, and that picture's text signs in.
  void wrongCaptchaThenTheNextPicture() {
    DemoOptions options;
    options.accounts = {{"lisi", "secret"}};
    DemoSite randomSite(options);
    QVERIFY(randomSite.start());
    QTemporaryDir data;
    QProcessEnvironment env = quillet::testing::headlessEnvironment(0.1);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("secret"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(quillet::testing::quilletPath(),
                  {QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("lisi"),
                   QStringLiteral("--site"), QString::fromStdString(randomSite.baseUrl()),
                   QStringLiteral("--data-dir"), data.path()});
    QVERIFY(process.waitForStarted(10'000));
    QString err;
    const QString prompt = QStringLiteral("验证码：");
    const auto promptsShown = [&](int count) {
      return QTest::qWaitFor(
                 [&] {
                   err += QString::fromUtf8(process.readAllStandardError());
                   return err.count(prompt) >= count || process.state() == QProcess::NotRunning;
                 },
                 120'000) &&
             err.count(prompt) >= count;
    };
    QVERIFY2(promptsShown(1), qPrintable(err));
    const auto first = randomSite.lastCaptcha();
    QVERIFY(first.has_value());
    // Letters: never the text of a picture, which shows digits.
    process.write("abcd\n");
    QVERIFY2(promptsShown(2), qPrintable(err));
    const auto second = randomSite.lastCaptcha();
    QVERIFY(second.has_value());
    QCOMPARE(second->sessionId, first->sessionId);  // the same session, a new picture
    process.write(QByteArray::fromStdString(second->text) + "\n");
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(120'000));
    err += QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             qPrintable(err));
    const qsizetype wrong = err.indexOf(QStringLiteral("验证码错误"));
    QVERIFY2(wrong >= 0, qPrintable(err));
    QVERIFY(err.indexOf(QStringLiteral("登录成功")) > wrong);
    QVERIFY2(!err.contains(QStringLiteral("用户名或密码错误")), qPrintable(err));
    QCOMPARE(err.count(QStringLiteral("captcha.png")), 2);
    const auto last = randomSite.lastCaptcha();
    QVERIFY(last.has_value());
    QCOMPARE(randomSite.sessionUser(last->sessionId).value_or("<none>"), std::string("lisi"));
  }

  // Two data folders, two accounts, two sessions: the second sign-in (its
  // password from the environment) leaves the first one signed in.
  void twoDataFoldersSideBySide() {
    QTemporaryDir first;
    QTemporaryDir second;
    writeFile(first.filePath(QStringLiteral("pw")), "mima 123");
    const ProcessResult a =
        runQuillet({QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("张三"),
                    QStringLiteral("--password-file"), first.filePath(QStringLiteral("pw")),
                    QStringLiteral("--site"), site(), QStringLiteral("--data-dir"), first.path()},
                   QByteArray(kCaptcha) + "\n");
    QVERIFY2(a.exitCode == 0, qPrintable(describe(a)));
    std::string firstSession;
    QCOMPARE(lastSessionUser(&firstSession), QStringLiteral("张三"));

    QProcessEnvironment env = quillet::testing::headlessEnvironment(0.1);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("secret"));
    const ProcessResult b =
        runQuillet({QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("lisi"),
                    QStringLiteral("--remember"), QStringLiteral("--site"), site(),
                    QStringLiteral("--data-dir"), second.path()},
                   QByteArray(kCaptcha) + "\n", env);
    QVERIFY2(b.exitCode == 0, qPrintable(describe(b)));
    std::string secondSession;
    QCOMPARE(lastSessionUser(&secondSession), QStringLiteral("lisi"));
    QVERIFY(firstSession != secondSession);
    QCOMPARE(site_->sessionUser(firstSession).value_or("<none>"), std::string("张三"));
    // --remember keeps the account as the window's tick does.
    QFile user(second.filePath(QStringLiteral("user.txt")));
    QVERIFY(user.open(QIODevice::ReadOnly));
    QCOMPARE(user.readAll(), QByteArray("lisi"));

    // The remembered account then needs neither --user nor a password.
    const ProcessResult again = runQuillet({QStringLiteral("login"), QStringLiteral("--site"),
                                            site(), QStringLiteral("--data-dir"), second.path()},
                                           QByteArray(kCaptcha) + "\n");
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    QCOMPARE(lastSessionUser(), QStringLiteral("lisi"));
  }

  // Refusals: a wrong password ends at once (3); three missing captchas end
  // after the third picture (3); standard input ending early (3); a site
  // that cannot be reached (4).
  void refusals() {
    QTemporaryDir data;
    QProcessEnvironment env = quillet::testing::headlessEnvironment(0.1);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("wrong"));
    const QStringList args{QStringLiteral("login"),
                           QStringLiteral("--user"),
                           QStringLiteral("lisi"),
                           QStringLiteral("--site"),
                           site(),
                           QStringLiteral("--data-dir"),
                           data.path()};
    const ProcessResult wrongPassword = runQuillet(args, QByteArray(kCaptcha) + "\n", env);
    QVERIFY2(wrongPassword.exitCode == 3, qPrintable(describe(wrongPassword)));
    QVERIFY(wrongPassword.err.contains(QStringLiteral("用户名或密码错误")));
    QCOMPARE(wrongPassword.err.count(QStringLiteral("验证码：")), 1);

    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("secret"));
    const ProcessResult threeMissing =
        runQuillet(args, "\n\n\n" + QByteArray(kCaptcha) + "\n", env);
    QVERIFY2(threeMissing.exitCode == 3, qPrintable(describe(threeMissing)));
    QCOMPARE(threeMissing.err.count(QStringLiteral("验证码错误")), 3);
    QVERIFY(!threeMissing.err.contains(QStringLiteral("登录成功")));

    const ProcessResult noInput = runQuillet(args, QByteArray(), env);
    QVERIFY2(noInput.exitCode == 3, qPrintable(describe(noInput)));

    // A port nobody listens on: the one of a site that was stopped.
    DemoSite gone;
    QVERIFY(gone.start());
    const QString goneBase = QString::fromStdString(gone.baseUrl());
    gone.stop();
    const ProcessResult unreachable =
        runQuillet({QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("lisi"),
                    QStringLiteral("--site"), goneBase, QStringLiteral("--data-dir"), data.path()},
                   QByteArray(kCaptcha) + "\n", env);
    QVERIFY2(unreachable.exitCode == 4, qPrintable(describe(unreachable)));
    QVERIFY(unreachable.err.contains(QStringLiteral("无法连接到网站")));
  }

  // What a sign-in leaves on disk is the user's alone, whatever the umask:
  // the folders 0700, the account files and the picture 0600. The password
  // given in QUILLET_PASSWORD never reaches the engine's processes (they run
  // the site's scripts). A password file that others can read is tightened
  // when it is read, with a word on standard error.
  void secretsStayPrivate() {
    QTemporaryDir root;
    const QString data = root.filePath(QStringLiteral("new/data"));
    const mode_t saved = ::umask(0);
    QProcessEnvironment env = quillet::testing::headlessEnvironment(0.1);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("secret"));
    QProcess login;
    login.setProcessEnvironment(env);
    login.start(quillet::testing::quilletPath(),
                {QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("lisi"),
                 QStringLiteral("--remember"), QStringLiteral("--site"), site(),
                 QStringLiteral("--data-dir"), data});
    ::umask(saved);
    QVERIFY(login.waitForStarted());
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += login.readAllStandardError()).contains("验证码："), 60000);
    // Every process below the program, the engine's renderers among them.
    QList<qint64> family{login.processId()};
    for (int i = 0; i < family.size(); ++i) {
      const QDir proc(QStringLiteral("/proc"));
      for (const QString& entry : proc.entryList(QDir::Dirs)) {
        bool isPid = false;
        entry.toLongLong(&isPid);
        if (!isPid) continue;
        const QByteArray stat = readWhole(QStringLiteral("/proc/%1/stat").arg(entry));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == family[i]) family << entry.toLongLong();
      }
    }
    QVERIFY2(family.size() >= 2, "the engine started no processes of its own");
    for (qsizetype i = 1; i < family.size(); ++i) {
      const QByteArray environ = readWhole(QStringLiteral("/proc/%1/environ").arg(family[i]));
      QVERIFY2(!environ.contains("QUILLET_PASSWORD"), qPrintable(QString::number(family[i])));
    }
    login.write(QByteArray(kCaptcha) + "\n");
    login.closeWriteChannel();
    QVERIFY(login.waitForFinished(60000));
    err += login.readAllStandardError();
    QVERIFY2(login.exitCode() == 0, err.constData());

    const auto mode = [](const QString& path) {
      struct stat status {};
      return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777
                                                                       : 07777u;
    };
    QCOMPARE(mode(data), 0700u);
    QCOMPARE(mode(data + QStringLiteral("/browser")), 0700u);
    for (const char* name : {"user.txt", "password.txt", "captcha.png"}) {
      QVERIFY2(mode(data + u'/' + QLatin1String(name)) == 0600u, name);
    }

    const QString password = data + QStringLiteral("/password.txt");
    QVERIFY(::chmod(QFile::encodeName(password).constData(), 0644) == 0);
    const ProcessResult again = runQuillet({QStringLiteral("login"), QStringLiteral("--site"),
                                            site(), QStringLiteral("--data-dir"), data},
                                           QByteArray(kCaptcha) + "\n");
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    QVERIFY2(again.err.contains(QStringLiteral("已改为只有本人可读写")),
             qPrintable(describe(again)));
    QCOMPARE(mode(password), 0600u);
  }

  // The password prompt on a terminal: asked on the terminal itself (standard
  // error may be a log), without echo; SIGHUP there (the terminal closing)
  // puts the echo back. The captcha is drawn in the colours the terminal
  // says it has: 256 for xterm-256color, none at all with NO_COLOR.
  void onATerminal() {
    QTemporaryDir data;
    QProcessEnvironment env = quillet::testing::headlessEnvironment(0.1);
    env.insert(QStringLiteral("TERM"), QStringLiteral("xterm-256color"));
    const QStringList args{QStringLiteral("login"),
                           QStringLiteral("--user"),
                           QStringLiteral("lisi"),
                           QStringLiteral("--site"),
                           site(),
                           QStringLiteral("--data-dir"),
                           data.path()};
    {
      PtyProcess prompt;
      QVERIFY(prompt.start(args, env, /*stderrToPipe=*/true));
      QVERIFY2(prompt.waitForText("密码：", 30000), prompt.terminalText().constData());
      QVERIFY(!prompt.stderrText().contains("密码："));
      QVERIFY(!prompt.echoOn());
      prompt.sendSignal(SIGHUP);
      QCOMPARE(prompt.waitForExit(30000), 128 + SIGHUP);
      QVERIFY(prompt.echoOn());
    }

    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("secret"));
    for (const bool noColour : {false, true}) {
      if (noColour) env.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1"));
      PtyProcess login;
      QVERIFY(login.start(args, env));
      QVERIFY2(login.waitForText("验证码：", 60000), login.terminalText().constData());
      const QByteArray picture = login.terminalText();
      login.type(QByteArray(kCaptcha) + "\n");
      QCOMPARE(login.waitForExit(60000), 0);
      QVERIFY(!picture.contains("\x1b[38;2;"));
      if (noColour) {
        QVERIFY2(!picture.contains("\x1b["), picture.constData());
        QVERIFY(picture.contains("\xe2\x96\x88") || picture.contains("\xe2\x96\x80"));
      } else {
        QVERIFY2(picture.contains("\x1b[38;5;"), picture.constData());
      }
    }
  }
};

QTEST_GUILESS_MAIN(LoginCommandTest)
#include "login_command_test.moc"
