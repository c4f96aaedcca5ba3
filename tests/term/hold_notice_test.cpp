// The desktop notifications of a `quillet run` whose session the site ends
// after the 2nd share: a notification service of the test's own, on a private
// session bus (dbus-run-session), sees the sign-in asked for and the end of
// the pass with its counts, as D-Bus calls.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "demo/demo_site.h"
#include "tests/term/quillet_process.h"

using namespace quillet;
using quillet::testing::headlessEnvironment;
using quillet::testing::ProcessResult;
using quillet::testing::runQuillet;

namespace {

constexpr char kCaptcha[] = "7139";

struct NotifyCall {
  QString appName;
  QString summary;
  QString body;
};

}  // namespace

class RecordingService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QList<NotifyCall> calls;

 public Q_SLOTS:
  uint Notify(const QString& appName, uint, const QString&, const QString& summary,
              const QString& body, const QStringList&, const QVariantMap&, int) {
    calls.append({appName, summary, body});
    return static_cast<uint>(calls.size());
  }
};

class HoldNoticeTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void signedOutAndPassEndAreNotified() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "this test runs on a private session bus (dbus-run-session)");
    QDBusConnection serviceBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
    QVERIFY(serviceBus.isConnected());
    RecordingService service;
    QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots));
    QVERIFY(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));

    DemoOptions options;
    options.fixedCaptcha = kCaptcha;
    options.signOutAfter = 2;
    DemoSite site(options);
    QVERIFY(site.start());
    const QString base = QString::fromStdString(site.baseUrl());
    QTemporaryDir data;
    QProcessEnvironment env = headlessEnvironment(0.1);
    env.insert(QStringLiteral("QUILLET_PASSWORD"), QStringLiteral("demo123"));
    const ProcessResult login =
        runQuillet({QStringLiteral("login"), QStringLiteral("--user"), QStringLiteral("demo"),
                    QStringLiteral("--site"), base, QStringLiteral("--data-dir"), data.path()},
                   QByteArray(kCaptcha) + "\n", env);
    QVERIFY2(login.exitCode == 0, qPrintable(login.err));
    const QString list = data.filePath(QStringLiteral("list.txt"));
    {
      QFile file(list);
      QVERIFY(file.open(QIODevice::WriteOnly));
      for (int id = 1; id <= 4; ++id)
        file.write(QByteArray::fromStdString(site.itemUrl(id)) + '\n');
    }
    const ProcessResult run = runQuillet({QStringLiteral("run"), list, QStringLiteral("--site"),
                                          base, QStringLiteral("--data-dir"), data.path()},
                                         {}, headlessEnvironment(0.1));
    QVERIFY2(run.exitCode == 3, qPrintable(run.err));

    QTRY_COMPARE(service.calls.size(), 2);
    QCOMPARE(service.calls[0].appName, QStringLiteral("Quillet"));
    QCOMPARE(service.calls[0].summary, QStringLiteral("Quillet：登录已失效"));
    QVERIFY2(service.calls[0].body.contains(QStringLiteral("第3个地址")),
             qPrintable(service.calls[0].body));
    QVERIFY2(service.calls[0].body.contains(QStringLiteral("quillet login")),
             qPrintable(service.calls[0].body));
    QCOMPARE(service.calls[1].summary, QStringLiteral("Quillet：登录已失效，分享已中断"));
    QCOMPARE(service.calls[1].body, QStringLiteral("成功 2，失败 0，地址错误 0"));
    QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  }
};

QTEST_GUILESS_MAIN(HoldNoticeTest)
#include "hold_notice_test.moc"
