// Command line and environment of the program.
#include "config/app_config.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include "app/profile_gate.h"
#include "tests/doubles/recording_dialogs.h"
#include "site/comment_pool.h"

using namespace quillet;

class AppConfigTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { qunsetenv("QUILLET_SITE"); }

  void siteAddress_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("siteBase");
    QTest::newRow("default") << QStringList{} << QByteArray() << "http://127.0.0.1:8421";
    QTest::newRow("option") << QStringList{"--site", "http://share.test:8080"} << QByteArray()
                            << "http://share.test:8080";
    QTest::newRow("option=value") << QStringList{"--site=https://share.test/"} << QByteArray()
                                  << "https://share.test";
    QTest::newRow("environment") << QStringList{} << QByteArray("http://env.test")
                                 << "http://env.test";
    QTest::newRow("option beats environment") << QStringList{"--site", "http://opt.test"}
                                              << QByteArray("http://env.test") << "http://opt.test";
    QTest::newRow("no scheme") << QStringList{"--site", "127.0.0.1:9000"} << QByteArray()
                               << "http://127.0.0.1:9000";
  }
  void siteAddress() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environment);
    QFETCH(QString, siteBase);
    if (!environment.isEmpty()) qputenv("QUILLET_SITE", environment);
    const AppConfig config = parseAppConfig(QStringList{"quillet"} + arguments, dir_.path());
    QVERIFY2(!config.exitNow, qPrintable(config.message));
    QCOMPARE(config.siteBase, siteBase);
  }

  void refusals_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"};
    QTest::newRow("site without value") << QStringList{"--site"};
    QTest::newRow("ftp site") << QStringList{"--site", "ftp://files.test"};
    QTest::newRow("no host") << QStringList{"--site", "http://"};
    QTest::newRow("profile without file") << QStringList{"--profile"};
    QTest::newRow("profile empty") << QStringList{"--profile="};
  }
  void refusals() {
    QFETCH(QStringList, arguments);
    const AppConfig config = parseAppConfig(QStringList{"quillet"} + arguments, dir_.path());
    QVERIFY(config.exitNow);
    QCOMPARE(config.exitCode, 2);
    QVERIFY(!config.message.isEmpty());
  }

  void helpAndVersion() {
    AppConfig help = parseAppConfig({"quillet", "--help"}, dir_.path());
    QVERIFY(help.exitNow);
    QCOMPARE(help.exitCode, 0);
    for (const char* option : {"--site", "--data-dir", "--profile", "--version"})
      QVERIFY2(help.message.contains(QLatin1String(option)), option);
    AppConfig version = parseAppConfig({"quillet", "--version"}, dir_.path());
    QVERIFY(version.exitNow);
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.message.contains(QLatin1String(QUILLET_VERSION)));
  }

  void dataDirectory() {
    // The program's own folder while it is writable, for the account and the state ...
    AppConfig beside = parseAppConfig({"quillet"}, dir_.path());
    QCOMPARE(beside.dataDir, dir_.path());
    QCOMPARE(beside.stateDir, dir_.path());
    // ... --data-dir wins over it and holds everything ...
    AppConfig chosen = parseAppConfig({"quillet", "--data-dir", "/tmp/elsewhere"}, dir_.path());
    QCOMPARE(chosen.dataDir, QStringLiteral("/tmp/elsewhere"));
    QCOMPARE(chosen.stateDir, QStringLiteral("/tmp/elsewhere"));
    // ... and a folder that cannot take the files sends them to the user's XDG folders.
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", dir_.filePath(QStringLiteral("state")).toUtf8());
    const QString missing = dir_.filePath(QStringLiteral("no/such/folder"));
    AppConfig installed = parseAppConfig({"quillet"}, missing);
    QCOMPARE(installed.dataDir, dir_.filePath(QStringLiteral("config/quillet")));
    QCOMPARE(installed.stateDir, dir_.filePath(QStringLiteral("state/quillet")));
    // --data-dir still puts everything in one folder when installed.
    AppConfig single = parseAppConfig({"quillet", "--data-dir", "/tmp/one"}, missing);
    QCOMPARE(single.dataDir, QStringLiteral("/tmp/one"));
    QCOMPARE(single.stateDir, QStringLiteral("/tmp/one"));
  }

  void xdgDefaults_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("unset") << QByteArray();
    QTest::newRow("empty") << QByteArray("");
    // The base directory rules: a relative path is invalid and ignored.
    QTest::newRow("relative") << QByteArray("relative/folder");
  }
  void xdgDefaults() {
    QFETCH(QByteArray, value);
    const QString missing = dir_.filePath(QStringLiteral("no/such/folder"));
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
      if (value.isNull()) {
        qunsetenv(variable);
      } else {
        qputenv(variable, value);
      }
    }
    QCOMPARE(defaultDataDir(missing), QDir::homePath() + QStringLiteral("/.config/quillet"));
    QCOMPARE(defaultStateDir(missing), QDir::homePath() + QStringLiteral("/.local/state/quillet"));
  }

  // Without $HOME (cron, `env -i`, some sudo set-ups) the installed layout
  // is below the home of the user in the password database, never below /.
  void homeFromThePasswordDatabase() {
    const QByteArray home = qgetenv("HOME");
    qunsetenv("HOME");
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_STATE_HOME");
    const QString missing = dir_.filePath(QStringLiteral("no/such/folder"));
    const QString dataDir = defaultDataDir(missing);
    const QString stateDir = defaultStateDir(missing);
    qputenv("HOME", home);
    const passwd* entry = ::getpwuid(::getuid());
    QVERIFY(entry != nullptr);
    const QString expected = QString::fromLocal8Bit(entry->pw_dir);
    QCOMPARE(dataDir, expected + QStringLiteral("/.config/quillet"));
    QCOMPARE(stateDir, expected + QStringLiteral("/.local/state/quillet"));
  }

  void systemProgramFolder() {
    // Installed in /usr/bin the program never keeps files beside itself, even
    // where that folder is writable (root).
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", dir_.filePath(QStringLiteral("state")).toUtf8());
    const AppConfig config = parseAppConfig({"quillet"}, QStringLiteral("/usr/bin"));
    QCOMPARE(config.dataDir, dir_.filePath(QStringLiteral("config/quillet")));
    QCOMPARE(config.stateDir, dir_.filePath(QStringLiteral("state/quillet")));
  }

  // The profile the window runs with: the built-in one, site.toml in the data
  // folder, or --profile; a refused one is reported on stderr and in a
  // message box, and the run does not start.
  void siteProfileForTheWindow() {
    QTemporaryDir data;
    QVERIFY(data.isValid());
    RecordingDialogs dialogs;
    QString errText;
    QTextStream err(&errText);

    AppConfig config = parseAppConfig({"quillet", "--data-dir", data.path()}, dir_.path());
    QVERIFY(loadProfileForWindow(config, dialogs, err));
    QCOMPARE(config.profile.comments, commentPoolTexts());

    const QString inData = data.filePath(QStringLiteral("site.toml"));
    QVERIFY(writeFile(inData, "comments = [\"只有一条\"]\n"));
    QVERIFY(loadProfileForWindow(config, dialogs, err));
    QCOMPARE(config.profile.comments, QStringList{QStringLiteral("只有一条")});
    QVERIFY(dialogs.messages().isEmpty());
    QVERIFY(errText.isEmpty());

    const QString bad = data.filePath(QStringLiteral("bad.toml"));
    QVERIFY(writeFile(bad, "# moved fields\n\naddressBox = 0\n"));
    config = parseAppConfig({"quillet", "--data-dir", data.path(), "--profile", bad}, dir_.path());
    QVERIFY(!config.exitNow);
    QCOMPARE(config.profilePath, bad);
    QVERIFY(!loadProfileForWindow(config, dialogs, err));
    const QString line =
        bad + QStringLiteral(":3: addressBox must be a whole number of at least 1");
    QCOMPARE(dialogs.messages().size(), 1);
    QVERIFY2(dialogs.lastMessage().text.endsWith(line), qPrintable(dialogs.lastMessage().text));
    QCOMPARE(errText.trimmed(), dialogs.lastMessage().text);
    QCOMPARE(kBadProfileExitCode, 2);
  }

 private:
  static bool writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
  }

  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(AppConfigTest)
#include "app_config_test.moc"
