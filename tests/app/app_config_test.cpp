// Command line and environment of the program.
#include "app/app_config.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
    for (const char* option : {"--site", "--data-dir", "--version"})
      QVERIFY2(help.message.contains(QLatin1String(option)), option);
    AppConfig version = parseAppConfig({"quillet", "--version"}, dir_.path());
    QVERIFY(version.exitNow);
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.message.contains(QLatin1String(QUILLET_VERSION)));
  }

  void dataDirectory() {
    // The program's own folder while it is writable ...
    QCOMPARE(parseAppConfig({"quillet"}, dir_.path()).dataDir, dir_.path());
    // ... --data-dir wins over it ...
    QCOMPARE(parseAppConfig({"quillet", "--data-dir", "/tmp/elsewhere"}, dir_.path()).dataDir,
             QStringLiteral("/tmp/elsewhere"));
    // ... and a folder that cannot take the files sends them to the user's config folder.
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toUtf8());
    const QString missing = dir_.filePath(QStringLiteral("no/such/folder"));
    QCOMPARE(parseAppConfig({"quillet"}, missing).dataDir,
             dir_.filePath(QStringLiteral("config/quillet")));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(defaultDataDir(missing), QDir::homePath() + QStringLiteral("/.config/quillet"));
  }

 private:
  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(AppConfigTest)
#include "app_config_test.moc"
