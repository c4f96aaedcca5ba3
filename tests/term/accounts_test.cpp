// Named accounts as a user drives them, as processes, with the XDG folders in
// a temporary home: two accounts added, signed in and run side by side on the
// demo site, one through a logging proxy on 127.0.0.1 that wants credentials
// and the other direct, `quillet accounts` reporting both, the refusals, and
// nothing written outside the XDG folders.
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <map>
#include <memory>

#include "demo/demo_site.h"
#include "tests/term/pty_process.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::describe;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::PtyProcess;
using quillet::testing::quilletPath;
using quillet::testing::runQuillet;
using quillet::testing::writeFile;

namespace {

constexpr char kCaptcha[] = "5264";
constexpr double kTimeScale = 0.1;
constexpr char kProxyUser[] = "pxuser";
constexpr char kProxyPassword[] = "px-secret";
// The HTTP engine's own User-Agent begins so; the browser engine's names QtWebEngine.
constexpr char kHttpEngineAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0";

struct ProxyRequest {
  QString method;
  QString url;
  QString agent;
  QString session;  // the demo site's session cookie, "" when none
};

// The line of `quillet accounts` that lists `name`.
QString accountLine(const QString& table, const QString& name) {
  for (const QString& line : table.split(u'\n')) {
    if (line.startsWith(name + QLatin1String("  "))) return line;
  }
  return {};
}

}  // namespace

class AccountsTest : public QObject {
  Q_OBJECT

  QTemporaryDir root_;
  QString home_;
  std::unique_ptr<DemoSite> site_;
  QProcess proxy_;
  int proxyPort_ = 0;
  QString proxyLog_;
  QStringList programFolderBefore_;

  QString site() const { return QString::fromStdString(site_->baseUrl()); }
  QString item(int id) const { return QString::fromStdString(site_->itemUrl(id)); }
  QString listA() const { return root_.filePath(QStringLiteral("list-a.txt")); }
  QString listB() const { return root_.filePath(QStringLiteral("list-b.txt")); }

  // The environment of a user whose home is the temporary one.
  QProcessEnvironment env(const QString& password = {}) const {
    QProcessEnvironment e = headlessEnvironment(kTimeScale);
    e.insert(QStringLiteral("HOME"), home_);
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), home_ + QLatin1String("/.config"));
    e.insert(QStringLiteral("XDG_STATE_HOME"), home_ + QLatin1String("/.local/state"));
    e.insert(QStringLiteral("XDG_CACHE_HOME"), home_ + QLatin1String("/.cache"));
    e.insert(QStringLiteral("XDG_DATA_HOME"), home_ + QLatin1String("/.local/share"));
    e.remove(QStringLiteral("QUILLET_TIME_SCALE"));
    e.insert(QStringLiteral("QUILLET_TIME_SCALE"), QString::number(kTimeScale));
    if (!password.isEmpty()) e.insert(QStringLiteral("QUILLET_PASSWORD"), password);
    return e;
  }

  ProcessResult quillet(const QStringList& arguments, const QByteArray& input = {},
                        const QString& password = {}) const {
    return runQuillet(arguments, input, env(password));
  }

  QList<ProxyRequest> proxyRequests() const {
    QList<ProxyRequest> requests;
    QFile file(proxyLog_);
    if (!file.open(QIODevice::ReadOnly)) return requests;
    const QRegularExpression session(
        QStringLiteral("(?:^|;\\s*)%1=([^;]*)").arg(QLatin1String(DemoSite::kSessionCookie)));
    while (!file.atEnd()) {
      const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
      ProxyRequest r;
      r.method = line.value(QStringLiteral("method")).toString();
      r.url = line.value(QStringLiteral("url")).toString();
      r.agent = line.value(QStringLiteral("agent")).toString();
      const QRegularExpressionMatch m =
          session.match(line.value(QStringLiteral("cookie")).toString());
      if (m.hasMatch()) r.session = m.captured(1);
      requests << r;
    }
    return requests;
  }

  QString accountFolder(const char* base, const QString& name) const {
    return QStringLiteral("%1/%2/quillet/accounts/%3").arg(home_, QLatin1String(base), name);
  }

 private Q_SLOTS:
  void initTestCase() {
    QVERIFY(root_.isValid());
    home_ = root_.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home_));
    programFolderBefore_ =
        QDir(QFileInfo(quilletPath()).absolutePath()).entryList(QDir::AllEntries);

    DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    options.accounts = {{"alice", "alice-pw"}, {"bob", "bob-pw"}};
    site_ = std::make_unique<DemoSite>(options);
    QVERIFY(site_->start());
    QVERIFY(writeFile(listA(), (item(11) + u'\n' + item(12) + u'\n' + item(13) + u'\n').toUtf8()));
    QVERIFY(writeFile(listB(), (item(21) + u'\n' + item(22) + u'\n').toUtf8()));

    proxyLog_ = root_.filePath(QStringLiteral("proxy.log"));
    const QString portFile = root_.filePath(QStringLiteral("proxy.port"));
    proxy_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proxy_.start(
        QStringLiteral("python3"),
        {QStringLiteral(QUILLET_TEST_SOURCE_DIR "/logging_proxy.py"), portFile, proxyLog_,
         QStringLiteral("--auth"),
         QStringLiteral("%1:%2").arg(QLatin1String(kProxyUser), QLatin1String(kProxyPassword))});
    QVERIFY(proxy_.waitForStarted());
    for (int i = 0; i < 200 && !QFile::exists(portFile); ++i) QThread::msleep(50);
    QFile port(portFile);
    QVERIFY2(port.open(QIODevice::ReadOnly), "the logging proxy did not start");
    proxyPort_ = port.readAll().trimmed().toInt();
    QVERIFY(proxyPort_ > 0);
  }

  void cleanupTestCase() {
    proxy_.kill();
    proxy_.waitForFinished();
  }

  // Bad names and proxy addresses are refused with the rule, exit 2, and
  // leave nothing behind.
  void refusals() {
    for (const QString& name :
         {QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral("_x"), QStringLiteral("a b"),
          QStringLiteral("x.y"), QStringLiteral("店铺"), QString(33, u'n'), QString()}) {
      const ProcessResult add = quillet({QStringLiteral("accounts"), QStringLiteral("add"), name});
      QVERIFY2(add.exitCode == 2, qPrintable(name + u'\n' + describe(add)));
      if (!name.isEmpty()) {
        QVERIFY2(add.err.contains(QStringLiteral("1 to 32 characters")), qPrintable(describe(add)));
      }
    }
    const ProcessResult login =
        quillet({QStringLiteral("login"), QStringLiteral("--account"), QStringLiteral("../etc")});
    QVERIFY2(login.exitCode == 2, qPrintable(describe(login)));
    QVERIFY(login.err.contains(QStringLiteral("1 to 32 characters")));
    const ProcessResult unknown =
        quillet({QStringLiteral("run"), QStringLiteral("--account"), QStringLiteral("nobody")});
    QVERIFY2(unknown.exitCode == 2, qPrintable(describe(unknown)));
    QVERIFY(unknown.err.contains(QStringLiteral("no account named 'nobody'")));

    for (const QString& proxy :
         {QStringLiteral("ftp://127.0.0.1:21"), QStringLiteral("http://"),
          QStringLiteral("127.0.0.1:3128"), QStringLiteral("socks5://host:99999"),
          QStringLiteral("http://host:8080/path")}) {
      const ProcessResult add = quillet({QStringLiteral("accounts"), QStringLiteral("add"),
                                         QStringLiteral("c"), QStringLiteral("--proxy"), proxy});
      QVERIFY2(add.exitCode == 2, qPrintable(proxy + u'\n' + describe(add)));
      QVERIFY2(add.err.contains(QStringLiteral("not a usable proxy address")),
               qPrintable(describe(add)));
    }
    QVERIFY(!QFileInfo::exists(accountFolder(".config", QStringLiteral("c"))));
  }

  void addAndSignIn() {
    const QString proxy = QStringLiteral("http://%1:%2@127.0.0.1:%3")
                              .arg(QLatin1String(kProxyUser), QLatin1String(kProxyPassword))
                              .arg(proxyPort_);
    const ProcessResult addA = quillet({QStringLiteral("accounts"), QStringLiteral("add"),
                                        QStringLiteral("shop-a"), QStringLiteral("--site"), site(),
                                        QStringLiteral("--proxy"), proxy, QStringLiteral("--list"),
                                        listA(), QStringLiteral("--period"), QStringLiteral("21")});
    QVERIFY2(addA.exitCode == 0, qPrintable(describe(addA)));
    const ProcessResult addB =
        quillet({QStringLiteral("accounts"), QStringLiteral("add"), QStringLiteral("shop_b"),
                 QStringLiteral("--site"), site(), QStringLiteral("--list"), listB()});
    QVERIFY2(addB.exitCode == 0, qPrintable(describe(addB)));
    const ProcessResult again =
        quillet({QStringLiteral("accounts"), QStringLiteral("add"), QStringLiteral("shop_b")});
    QVERIFY2(again.exitCode == 2, qPrintable(describe(again)));
    QVERIFY(QFileInfo::exists(accountFolder(".config", QStringLiteral("shop-a")) +
                              QLatin1String("/account.conf")));

    // Account a signs in through the proxy: its pages and the captcha
    // download of the HTTP engine, which carries the proxy's credentials too.
    const ProcessResult loginA =
        quillet({QStringLiteral("login"), QStringLiteral("--account"), QStringLiteral("shop-a"),
                 QStringLiteral("--user"), QStringLiteral("alice")},
                QByteArray(kCaptcha) + "\n", QStringLiteral("alice-pw"));
    QVERIFY2(loginA.exitCode == 0, qPrintable(describe(loginA)));
    const QList<ProxyRequest> afterA = proxyRequests();
    bool logonPage = false;
    bool captchaDownload = false;
    for (const ProxyRequest& r : afterA) {
      QVERIFY2(r.url.startsWith(site()), qPrintable(r.url));
      if (r.url.contains(QLatin1String("/logon")) && r.agent.contains(QLatin1String("QtWebEngine")))
        logonPage = true;
      if (r.url.contains(QLatin1String("/css/checkCode.php")) &&
          r.agent.startsWith(QLatin1String(kHttpEngineAgent)))
        captchaDownload = true;
    }
    QVERIFY2(logonPage, "the browser's pages did not go through the account's proxy");
    QVERIFY2(captchaDownload, "the captcha download did not go through the account's proxy");
    QVERIFY(QFileInfo::exists(accountFolder(".config", QStringLiteral("shop-a")) +
                              QLatin1String("/captcha.png")));

    // Account b has no proxy: nothing of its sign-in passes the proxy.
    const ProcessResult loginB =
        quillet({QStringLiteral("login"), QStringLiteral("--account"), QStringLiteral("shop_b"),
                 QStringLiteral("--user"), QStringLiteral("bob")},
                QByteArray(kCaptcha) + "\n", QStringLiteral("bob-pw"));
    QVERIFY2(loginB.exitCode == 0, qPrintable(describe(loginB)));
    QCOMPARE(proxyRequests().size(), afterA.size());

    const ProcessResult list = quillet({QStringLiteral("accounts")});
    QVERIFY2(list.exitCode == 0, qPrintable(describe(list)));
    const QString a = accountLine(list.out, QStringLiteral("shop-a"));
    const QString b = accountLine(list.out, QStringLiteral("shop_b"));
    QVERIFY2(a.contains(QLatin1String("alice")) && a.contains(QStringLiteral("已登录")) &&
                 a.contains(QStringLiteral("127.0.0.1:%1").arg(proxyPort_)) && a.contains(site()),
             qPrintable(list.out));
    QVERIFY2(!list.out.contains(QLatin1String(kProxyPassword)), qPrintable(list.out));
    QVERIFY2(b.contains(QLatin1String("bob")) && b.contains(QStringLiteral("已登录")),
             qPrintable(list.out));
    // List sizes, nothing shared yet, nobody using them.
    QVERIFY2(QRegularExpression(QStringLiteral("\\s3\\s+-\\s+否$")).match(a).hasMatch(),
             qPrintable(a));
    QVERIFY2(QRegularExpression(QStringLiteral("\\s2\\s+-\\s+否$")).match(b).hasMatch(),
             qPrintable(b));
  }

  // Both accounts run at once, each its own list from its settings, in its
  // own session; only a's traffic passes the proxy.
  void runSideBySide() {
    site_->clearShares();
    const qsizetype proxiedBefore = proxyRequests().size();
    QProcess runA;
    QProcess runB;
    for (QProcess* run : {&runA, &runB}) run->setProcessEnvironment(env());
    runA.start(quilletPath(),
               {QStringLiteral("run"), QStringLiteral("--account"), QStringLiteral("shop-a")});
    runB.start(quilletPath(),
               {QStringLiteral("run"), QStringLiteral("--account"), QStringLiteral("shop_b")});
    QVERIFY(runA.waitForStarted() && runB.waitForStarted());
    runA.closeWriteChannel();
    runB.closeWriteChannel();

    // While both run, the list says so: each holds its account's lock.
    bool bothInUse = false;
    while (!bothInUse && runA.state() == QProcess::Running && runB.state() == QProcess::Running) {
      const ProcessResult list = quillet({QStringLiteral("accounts")});
      bothInUse =
          accountLine(list.out, QStringLiteral("shop-a")).contains(QStringLiteral("是 (pid")) &&
          accountLine(list.out, QStringLiteral("shop_b")).contains(QStringLiteral("是 (pid"));
      QThread::msleep(100);
    }
    QVERIFY(runA.waitForFinished(300'000) && runB.waitForFinished(300'000));
    const QString outA = QString::fromUtf8(runA.readAllStandardOutput());
    const QString outB = QString::fromUtf8(runB.readAllStandardOutput());
    QVERIFY2(runA.exitCode() == 0,
             qPrintable(outA + QString::fromUtf8(runA.readAllStandardError())));
    QVERIFY2(runB.exitCode() == 0,
             qPrintable(outB + QString::fromUtf8(runB.readAllStandardError())));
    QVERIFY2(bothInUse, "the accounts never showed as in use while both ran");

    // Each shared exactly its own list, once an item, as its own user.
    std::map<std::string, std::multiset<int>> byUser;
    for (const ShareRecord& r : site_->shares()) {
      QVERIFY(r.ok);
      byUser[r.account].insert(r.item);
    }
    QCOMPARE(byUser.size(), std::size_t(2));
    QVERIFY((byUser["alice"] == std::multiset<int>{11, 12, 13}));
    QVERIFY((byUser["bob"] == std::multiset<int>{21, 22}));
    QCOMPARE(outA.count(QStringLiteral("成功")), 3);
    QCOMPARE(outB.count(QStringLiteral("成功")), 2);

    // The proxy carried a's pages of the pass, and none of b's.
    const QList<ProxyRequest> proxied = proxyRequests().mid(proxiedBefore);
    int alices = 0;
    for (const ProxyRequest& r : proxied) {
      if (r.session.isEmpty()) continue;
      const std::optional<std::string> user = site_->sessionUser(r.session.toStdString());
      QVERIFY2(!user || *user != "bob", qPrintable(r.url));
      if (user && *user == "alice") ++alices;
    }
    QVERIFY2(alices >= 3, qPrintable(QStringLiteral("%1 requests of alice's session").arg(alices)));

    const ProcessResult list = quillet({QStringLiteral("accounts")});
    const QString a = accountLine(list.out, QStringLiteral("shop-a"));
    const QString b = accountLine(list.out, QStringLiteral("shop_b"));
    QVERIFY2(
        a.contains(QStringLiteral("成功3 失败0 地址错误0")) && a.endsWith(QStringLiteral("否")),
        qPrintable(list.out));
    QVERIFY2(
        b.contains(QStringLiteral("成功2 失败0 地址错误0")) && b.endsWith(QStringLiteral("否")),
        qPrintable(list.out));
  }

  // run takes what its command line leaves out from the account's settings,
  // and the command line wins: checked through the refusals that come
  // before anything changes.
  void runSettingsFromTheAccount() {
    const QStringList run{QStringLiteral("run"), QStringLiteral("--account"),
                          QStringLiteral("shop-a")};
    const ProcessResult set =
        quillet({QStringLiteral("accounts"), QStringLiteral("set"), QStringLiteral("shop-a"),
                 QStringLiteral("--period"), QStringLiteral("20")});
    QVERIFY2(set.exitCode == 0, qPrintable(describe(set)));
    const ProcessResult shortPeriod = quillet(run);
    QVERIFY2(shortPeriod.exitCode == 2, qPrintable(describe(shortPeriod)));
    QVERIFY2(shortPeriod.err.contains(QStringLiteral("必须大于21秒")), qPrintable(shortPeriod.err));
    const ProcessResult typed =
        quillet(run + QStringList{QStringLiteral("--period"), QStringLiteral("abc")});
    QVERIFY2(typed.exitCode == 2, qPrintable(describe(typed)));
    QVERIFY2(typed.err.contains(QStringLiteral("--period takes seconds")), qPrintable(typed.err));
    const QString missing = root_.filePath(QStringLiteral("no-such-list.txt"));
    const ProcessResult file =
        quillet(run + QStringList{missing, QStringLiteral("--period"), QStringLiteral("21")});
    QVERIFY2(file.exitCode == 2, qPrintable(describe(file)));
    QVERIFY2(file.err.contains(QStringLiteral("no-such-list.txt")), qPrintable(file.err));
    QVERIFY(site_->shares().size() == 5);  // only the side-by-side runs' shares
    const ProcessResult back =
        quillet({QStringLiteral("accounts"), QStringLiteral("set"), QStringLiteral("shop-a"),
                 QStringLiteral("--period"), QStringLiteral("21")});
    QVERIFY2(back.exitCode == 0, qPrintable(describe(back)));
  }

  // Everything the accounts wrote is in their XDG folders: nothing else in
  // the home, nothing beside the program.
  void nothingOutsideXdg() {
    QDirIterator it(home_, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    QStringList outside;
    int inside = 0;
    while (it.hasNext()) {
      const QString path = QDir(home_).relativeFilePath(it.next());
      // The browser engine writes its preferences (user_prefs.json) below
      // $XDG_DATA_HOME as it creates the profile, before the profile takes
      // the account's folder: an XDG folder too, and no session in it.
      if (path.startsWith(QLatin1String(".config/quillet/accounts/")) ||
          path.startsWith(QLatin1String(".local/state/quillet/accounts/")) ||
          (path.startsWith(QLatin1String(".local/share/Quillet/QtWebEngine/")) &&
           path.endsWith(QLatin1String("/user_prefs.json")))) {
        ++inside;
      } else {
        outside << path;
      }
    }
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(u'\n')));
    // Not even those preferences are shared: each account's profile has its own name.
    QVERIFY(!QFileInfo::exists(home_ + QLatin1String("/.local/share/Quillet/QtWebEngine/quillet")));
    QVERIFY(inside > 0);
    for (const char* name : {"shop-a", "shop_b"}) {
      QVERIFY(QFileInfo::exists(
          home_ + QStringLiteral("/.local/share/Quillet/QtWebEngine/quillet-%1/user_prefs.json")
                      .arg(QLatin1String(name))));
      const QString state = accountFolder(".local/state", QString::fromLatin1(name));
      QVERIFY(QFileInfo::exists(state + QLatin1String("/quillet.db")));
      QVERIFY(QFileInfo(state + QLatin1String("/browser")).isDir());
    }
    QCOMPARE(QDir(QFileInfo(quilletPath()).absolutePath()).entryList(QDir::AllEntries),
             programFolderBefore_);
  }

  // set changes one key and refuses a bad value without touching the file;
  // --time writes the timer's drop-in; remove asks, or takes --yes.
  void setAndRemove() {
    const QString file =
        accountFolder(".config", QStringLiteral("shop_b")) + QLatin1String("/account.conf");
    QFile before(file);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray kept = before.readAll();
    before.close();
    const ProcessResult bad =
        quillet({QStringLiteral("accounts"), QStringLiteral("set"), QStringLiteral("shop_b"),
                 QStringLiteral("--proxy"), QStringLiteral("gopher://x:70")});
    QVERIFY2(bad.exitCode == 2, qPrintable(describe(bad)));
    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), kept);
    before.close();

    const ProcessResult time =
        quillet({QStringLiteral("accounts"), QStringLiteral("set"), QStringLiteral("shop_b"),
                 QStringLiteral("--time"), QStringLiteral("07:30")});
    QVERIFY2(time.exitCode == 0, qPrintable(describe(time)));
    QFile dropIn(home_ +
                 QLatin1String("/.config/systemd/user/quillet-run@shop_b.timer.d/time.conf"));
    QVERIFY(dropIn.open(QIODevice::ReadOnly));
    QVERIFY(dropIn.readAll().contains("OnCalendar=*-*-* 07:30:00"));
    const ProcessResult badTime =
        quillet({QStringLiteral("accounts"), QStringLiteral("set"), QStringLiteral("shop_b"),
                 QStringLiteral("--time"), QStringLiteral("25:00")});
    QVERIFY2(badTime.exitCode == 2, qPrintable(describe(badTime)));

    // A session whose cookies are gone is not signed in, whatever was seen last.
    {
      const QString cookies = accountFolder(".local/state", QStringLiteral("shop_b")) +
                              QLatin1String("/browser/Cookies");
      QVERIFY(QFile::exists(cookies));
      const ProcessResult signedIn = quillet({QStringLiteral("accounts")});
      QVERIFY2(
          accountLine(signedIn.out, QStringLiteral("shop_b")).contains(QStringLiteral("已登录")),
          qPrintable(signedIn.out));
      QVERIFY(QFile::rename(cookies, cookies + QLatin1String(".gone")));
      const ProcessResult list = quillet({QStringLiteral("accounts")});
      QVERIFY2(accountLine(list.out, QStringLiteral("shop_b")).contains(QStringLiteral("未登录")),
               qPrintable(list.out));
      QVERIFY(QFile::rename(cookies + QLatin1String(".gone"), cookies));
    }
    // On a terminal remove asks; anything but yes keeps the account.
    {
      PtyProcess asked;
      QVERIFY(asked.start(
          {QStringLiteral("accounts"), QStringLiteral("remove"), QStringLiteral("shop_b")}, env()));
      QVERIFY2(asked.waitForText("[y/N]", 20'000), asked.terminalText().constData());
      asked.type("n\n");
      QCOMPARE(asked.waitForExit(20'000), 0);
      QVERIFY(asked.terminalText().contains("没有删除"));
      QVERIFY(QFileInfo::exists(file));
    }
    // No terminal to ask on: refused, nothing removed.
    const ProcessResult unasked =
        quillet({QStringLiteral("accounts"), QStringLiteral("remove"), QStringLiteral("shop_b")});
    QVERIFY2(unasked.exitCode == 2, qPrintable(describe(unasked)));
    QVERIFY(QFileInfo::exists(file));
    const ProcessResult removed = quillet({QStringLiteral("accounts"), QStringLiteral("remove"),
                                           QStringLiteral("shop_b"), QStringLiteral("--yes")});
    QVERIFY2(removed.exitCode == 0, qPrintable(describe(removed)));
    QVERIFY(!QFileInfo::exists(accountFolder(".config", QStringLiteral("shop_b"))));
    QVERIFY(!QFileInfo::exists(accountFolder(".local/state", QStringLiteral("shop_b"))));
    QVERIFY(!QFileInfo::exists(dropIn.fileName()));
    const ProcessResult list = quillet({QStringLiteral("accounts")});
    QVERIFY(accountLine(list.out, QStringLiteral("shop_b")).isEmpty());
    QVERIFY(!accountLine(list.out, QStringLiteral("shop-a")).isEmpty());

    // A settings file with a bad line (edited by hand) is named by file and
    // line, and set refuses to rewrite it, which would lose its other lines.
    const QString fileA =
        accountFolder(".config", QStringLiteral("shop-a")) + QLatin1String("/account.conf");
    QFile edited(fileA);
    QVERIFY(edited.open(QIODevice::Append));
    edited.write("period = soon\n");
    edited.close();
    QVERIFY(edited.open(QIODevice::ReadOnly));
    const QByteArray handEdited = edited.readAll();
    edited.close();
    const ProcessResult refusedSet =
        quillet({QStringLiteral("accounts"), QStringLiteral("set"), QStringLiteral("shop-a"),
                 QStringLiteral("--jitter"), QStringLiteral("5")});
    QVERIFY2(refusedSet.exitCode == 2, qPrintable(describe(refusedSet)));
    QVERIFY2(refusedSet.err.contains(fileA + QLatin1String(":")), qPrintable(refusedSet.err));
    QVERIFY(edited.open(QIODevice::ReadOnly));
    QCOMPARE(edited.readAll(), handEdited);
    edited.close();
    const ProcessResult refusedRun =
        quillet({QStringLiteral("run"), QStringLiteral("--account"), QStringLiteral("shop-a")});
    QVERIFY2(refusedRun.exitCode == 2, qPrintable(describe(refusedRun)));
    QVERIFY2(refusedRun.err.contains(QLatin1String("period")), qPrintable(refusedRun.err));
  }

  // The window of an account goes through the account's proxy too: its
  // start-up's sign-out and login page pass it.
  void windowThroughTheProxy() {
    const ProcessResult fixed =
        quillet({QStringLiteral("accounts"), QStringLiteral("add"), QStringLiteral("win"),
                 QStringLiteral("--site"), site(), QStringLiteral("--proxy"),
                 QStringLiteral("http://%1:%2@127.0.0.1:%3")
                     .arg(QLatin1String(kProxyUser), QLatin1String(kProxyPassword))
                     .arg(proxyPort_)});
    QVERIFY2(fixed.exitCode == 0, qPrintable(describe(fixed)));
    const qsizetype before = proxyRequests().size();
    QProcess window;
    QProcessEnvironment e = env();
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(e);
    window.start(quilletPath(), {QStringLiteral("--account"), QStringLiteral("win")});
    QVERIFY(window.waitForStarted());
    const auto sawPage = [&](const char* path) {
      const QList<ProxyRequest> all = proxyRequests().mid(before);
      return std::any_of(all.begin(), all.end(), [&](const ProxyRequest& r) {
        return r.url.startsWith(site() + QLatin1String(path)) &&
               r.agent.contains(QLatin1String("QtWebEngine"));
      });
    };
    // Waits for the window's own requests, bounded by the process's life.
    for (int i = 0; i < 600 && !(sawPage("/users/logout") && sawPage("/logon")) &&
                    window.state() == QProcess::Running;
         ++i) {
      QThread::msleep(100);
    }
    const bool seen = sawPage("/users/logout") && sawPage("/logon");
    window.kill();
    window.waitForFinished();
    QVERIFY2(seen, window.readAllStandardError().constData());
  }
};

QTEST_GUILESS_MAIN(AccountsTest)
#include "accounts_test.moc"
