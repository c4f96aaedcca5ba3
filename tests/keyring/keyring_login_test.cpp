// `quillet login` as a process against the demo site, with the remembered
// password in a real Secret Service: the test runs inside a private session
// bus with an unlocked GNOME Keyring (keyring_session.sh), and looks at the
// keyring with secret-tool as a user would.
#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

#include "demo/demo_site.h"
#include "signin/password_keeper.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::runQuillet;

namespace {

constexpr char kCaptcha[] = "7139";
// "张三" and "mima 123" as the password files hold them (GBK).
const QByteArray kZhangSanGbk("\xd5\xc5\xc8\xfd");

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

int modeOf(const QString& path) {
  struct stat info {};
  if (::stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
  return int(info.st_mode & 07777);
}

// secret-tool with `arguments`; its standard output, or nothing when it
// failed (an entry that is not there).
std::optional<QString> secretTool(const QStringList& arguments) {
  QProcess tool;
  tool.start(QStringLiteral("secret-tool"), arguments);
  if (!tool.waitForFinished(20'000) || tool.exitStatus() != QProcess::NormalExit ||
      tool.exitCode() != 0) {
    return std::nullopt;
  }
  return QString::fromUtf8(tool.readAllStandardOutput());
}

// The keyring's entry under the program's service name and `key`.
std::optional<QString> keyringEntry(const QString& key) {
  return secretTool({QStringLiteral("lookup"), QStringLiteral("server"),
                     PasswordKeeper::serviceName(), QStringLiteral("user"), key});
}

}  // namespace

class KeyringLoginTest : public QObject {
  Q_OBJECT

  std::unique_ptr<DemoSite> site_;
  std::unique_ptr<DemoSite> otherSite_;

  static QString baseOf(const DemoSite& site) { return QString::fromStdString(site.baseUrl()); }

  // The key the program files `user` under on `site`.
  static QString keyFor(const QString& user, const DemoSite& site) {
    return PasswordKeeper(baseOf(site), {}).entryKey(user);
  }

  QString lastSessionUser() const {
    const auto captcha = site_->lastCaptcha();
    if (!captcha) return QStringLiteral("<no captcha fetched>");
    const auto user = site_->sessionUser(captcha->sessionId);
    return user ? QString::fromStdString(*user) : QStringLiteral("<no session>");
  }

  static QStringList loginArgs(const DemoSite& site, const QTemporaryDir& data,
                               const QStringList& more = {}) {
    return QStringList{QStringLiteral("login"), QStringLiteral("--site"), baseOf(site),
                       QStringLiteral("--data-dir"), data.path()} +
           more;
  }

  static QProcessEnvironment withPassword(const QString& password) {
    QProcessEnvironment env = headlessEnvironment(0.1);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), password);
    return env;
  }

  // The environment of a machine without a session bus: its address leads
  // nowhere.
  static QProcessEnvironment withoutBus(const QTemporaryDir& data) {
    QProcessEnvironment env = headlessEnvironment(0.1);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + data.filePath(QStringLiteral("no-bus")));
    return env;
  }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY2(qEnvironmentVariableIsSet("QUILLET_KEYRING_SESSION"),
             "run through tests/keyring/keyring_session.sh");
    DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    options.accounts = {{"张三", "mima 123"}, {"lisi", "secret"}};
    site_ = std::make_unique<DemoSite>(options);
    QVERIFY(site_->start());
    // A second site with the same user name and another password.
    options.accounts = {{"lisi", "other pw"}};
    otherSite_ = std::make_unique<DemoSite>(options);
    QVERIFY(otherSite_->start());
  }

  // --remember puts the password into the keyring and writes no password
  // file; the next login needs only the captcha. The order of the sources:
  // QUILLET_PASSWORD before the keyring, the keyring before a password file.
  // A refused sign-in loses nothing.
  void rememberedInTheKeyring() {
    QTemporaryDir data;
    const QString passwordFile = data.filePath(QStringLiteral("password.txt"));
    const ProcessResult first = runQuillet(
        loginArgs(*site_, data,
                  {QStringLiteral("--user"), QStringLiteral("lisi"), QStringLiteral("--remember")}),
        QByteArray(kCaptcha) + "\n", withPassword(QStringLiteral("secret")));
    QVERIFY2(first.exitCode == 0, qPrintable(describe(first)));
    QVERIFY2(!first.err.contains(QStringLiteral("密码保存在文件中")), qPrintable(describe(first)));
    QVERIFY(!QFile::exists(passwordFile));
    QCOMPARE(readFile(data.filePath(QStringLiteral("user.txt"))), QByteArray("lisi"));
    QCOMPARE(keyringEntry(keyFor(QStringLiteral("lisi"), *site_)), QStringLiteral("secret"));

    const ProcessResult again = runQuillet(loginArgs(*site_, data), QByteArray(kCaptcha) + "\n");
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    QVERIFY2(!again.err.contains(QStringLiteral("密码：")), qPrintable(describe(again)));
    QCOMPARE(lastSessionUser(), QStringLiteral("lisi"));

    // The environment's password wins over the keyring's: a wrong one is
    // refused, and the refusal leaves the remembered account as it was.
    const ProcessResult wrong = runQuillet(loginArgs(*site_, data), QByteArray(kCaptcha) + "\n",
                                           withPassword(QStringLiteral("wrong")));
    QVERIFY2(wrong.exitCode == 3, qPrintable(describe(wrong)));
    QCOMPARE(keyringEntry(keyFor(QStringLiteral("lisi"), *site_)), QStringLiteral("secret"));

    // A stale password file left beside it is not read while the keyring
    // has the entry.
    writeFile(passwordFile, "stale");
    const ProcessResult stale = runQuillet(loginArgs(*site_, data), QByteArray(kCaptcha) + "\n");
    QVERIFY2(stale.exitCode == 0, qPrintable(describe(stale)));
    QCOMPARE(lastSessionUser(), QStringLiteral("lisi"));
  }

  // A password file remembered before the keyring moves into it at the next
  // remembered sign-in, and the file is removed.
  void oldPasswordFileMovesIntoTheKeyring() {
    QTemporaryDir data;
    const QString passwordFile = data.filePath(QStringLiteral("password.txt"));
    writeFile(data.filePath(QStringLiteral("user.txt")), kZhangSanGbk);
    writeFile(passwordFile, "mima 123");
    QFile::setPermissions(passwordFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!keyringEntry(keyFor(QStringLiteral("张三"), *site_)));

    const ProcessResult moved = runQuillet(loginArgs(*site_, data, {QStringLiteral("--remember")}),
                                           QByteArray(kCaptcha) + "\n");
    QVERIFY2(moved.exitCode == 0, qPrintable(describe(moved)));
    QCOMPARE(lastSessionUser(), QStringLiteral("张三"));
    QVERIFY(!QFile::exists(passwordFile));
    QCOMPARE(keyringEntry(keyFor(QStringLiteral("张三"), *site_)), QStringLiteral("mima 123"));
    QCOMPARE(readFile(data.filePath(QStringLiteral("user.txt"))), kZhangSanGbk);

    const ProcessResult again = runQuillet(loginArgs(*site_, data), QByteArray(kCaptcha) + "\n");
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    QCOMPARE(lastSessionUser(), QStringLiteral("张三"));
  }

  // With no session bus the password goes to the file, owner-only, and
  // stderr says so once per run; the file serves the next login. When the
  // keyring answers again, the next remembered sign-in moves it there.
  void withoutBusTheFileComesBack() {
    QTemporaryDir data;
    const QString passwordFile = data.filePath(QStringLiteral("password.txt"));
    secretTool({QStringLiteral("clear"), QStringLiteral("server"), PasswordKeeper::serviceName(),
                QStringLiteral("user"), keyFor(QStringLiteral("lisi"), *site_)});

    QProcessEnvironment noBus = withoutBus(data);
    noBus.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("secret"));
    const ProcessResult stored = runQuillet(
        loginArgs(*site_, data,
                  {QStringLiteral("--user"), QStringLiteral("lisi"), QStringLiteral("--remember")}),
        QByteArray(kCaptcha) + "\n", noBus);
    QVERIFY2(stored.exitCode == 0, qPrintable(describe(stored)));
    QCOMPARE(stored.err.count(PasswordKeeper::fileNoticeText(passwordFile)), 1);
    QCOMPARE(readFile(passwordFile), QByteArray("secret"));
    QCOMPARE(modeOf(passwordFile), 0600);
    QVERIFY(!keyringEntry(keyFor(QStringLiteral("lisi"), *site_)));

    const ProcessResult fromFile =
        runQuillet(loginArgs(*site_, data), QByteArray(kCaptcha) + "\n", withoutBus(data));
    QVERIFY2(fromFile.exitCode == 0, qPrintable(describe(fromFile)));
    QCOMPARE(fromFile.err.count(PasswordKeeper::fileNoticeText(passwordFile)), 1);
    QCOMPARE(lastSessionUser(), QStringLiteral("lisi"));

    const ProcessResult moved = runQuillet(loginArgs(*site_, data, {QStringLiteral("--remember")}),
                                           QByteArray(kCaptcha) + "\n");
    QVERIFY2(moved.exitCode == 0, qPrintable(describe(moved)));
    QVERIFY(!moved.err.contains(QStringLiteral("密码保存在文件中")));
    QVERIFY(!QFile::exists(passwordFile));
    QCOMPARE(keyringEntry(keyFor(QStringLiteral("lisi"), *site_)), QStringLiteral("secret"));
  }

  // A remembered password the site refuses (changed on the site since) is
  // not offered again by a login without --remember: the entry goes, the user
  // name stays, and the next login asks for the password.
  void refusedRememberedPasswordIsForgotten() {
    QTemporaryDir data;
    const QString key = keyFor(QStringLiteral("lisi"), *site_);
    writeFile(data.filePath(QStringLiteral("user.txt")), "lisi");
    // As the program files it (its schema's name is part of the lookup).
    QProcess store;
    store.start(
        QStringLiteral("secret-tool"),
        {QStringLiteral("store"), QStringLiteral("--label=quillet"), QStringLiteral("xdg:schema"),
         QStringLiteral("org.qt.keychain"), QStringLiteral("server"), PasswordKeeper::serviceName(),
         QStringLiteral("user"), key, QStringLiteral("type"), QStringLiteral("plaintext")});
    store.write("old secret");
    store.closeWriteChannel();
    QVERIFY(store.waitForFinished(20'000) && store.exitCode() == 0);
    QCOMPARE(keyringEntry(key), QStringLiteral("old secret"));

    const ProcessResult refused = runQuillet(loginArgs(*site_, data), QByteArray(kCaptcha) + "\n");
    QVERIFY2(refused.exitCode == 3, qPrintable(describe(refused)));
    QVERIFY2(!refused.err.contains(QStringLiteral("密码：")), qPrintable(describe(refused)));
    QVERIFY(!keyringEntry(key));
    QCOMPARE(readFile(data.filePath(QStringLiteral("user.txt"))), QByteArray("lisi"));

    const ProcessResult asked =
        runQuillet(loginArgs(*site_, data), QByteArray("secret\n") + kCaptcha + "\n");
    QVERIFY2(asked.exitCode == 0, qPrintable(describe(asked)));
    QVERIFY2(asked.err.contains(QStringLiteral("密码：")), qPrintable(describe(asked)));
    QCOMPARE(lastSessionUser(), QStringLiteral("lisi"));
  }

  // The same user name on two sites: two entries, each site's own password.
  void twoSitesTwoEntries() {
    QTemporaryDir here;
    QTemporaryDir there;
    const QStringList remember{QStringLiteral("--user"), QStringLiteral("lisi"),
                               QStringLiteral("--remember")};
    const ProcessResult a =
        runQuillet(loginArgs(*site_, here, remember), QByteArray(kCaptcha) + "\n",
                   withPassword(QStringLiteral("secret")));
    QVERIFY2(a.exitCode == 0, qPrintable(describe(a)));
    const ProcessResult b =
        runQuillet(loginArgs(*otherSite_, there, remember), QByteArray(kCaptcha) + "\n",
                   withPassword(QStringLiteral("other pw")));
    QVERIFY2(b.exitCode == 0, qPrintable(describe(b)));
    QVERIFY(keyFor(QStringLiteral("lisi"), *site_) != keyFor(QStringLiteral("lisi"), *otherSite_));
    QCOMPARE(keyringEntry(keyFor(QStringLiteral("lisi"), *site_)), QStringLiteral("secret"));
    QCOMPARE(keyringEntry(keyFor(QStringLiteral("lisi"), *otherSite_)), QStringLiteral("other pw"));

    const ProcessResult againHere =
        runQuillet(loginArgs(*site_, here), QByteArray(kCaptcha) + "\n");
    QVERIFY2(againHere.exitCode == 0, qPrintable(describe(againHere)));
    const ProcessResult againThere =
        runQuillet(loginArgs(*otherSite_, there), QByteArray(kCaptcha) + "\n");
    QVERIFY2(againThere.exitCode == 0, qPrintable(describe(againThere)));
  }
};

QTEST_GUILESS_MAIN(KeyringLoginTest)
#include "keyring_login_test.moc"
