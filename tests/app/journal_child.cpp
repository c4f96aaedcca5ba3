// The whole program for the journal's crash test, run as a child process:
// the real start-up (lock, loading window, restore), a sign-in through the
// login page, an optional import, then one press of "发表". With --kill-at
// EVENT:ROW the process kills itself with SIGKILL right after the program
// has handled that step of that row: the slots connected before this
// program's (the journal's) have run, nothing after them has, exactly as if
// the power went at that moment. "confirm" is just before the confirm is
// clicked, "clicked" 150 ms after it, inside the wait for the result.
//
// Usage: journal_child --site URL --data-dir DIR [--import FILE]
//                      [--kill-at address|confirm|clicked|result:ROW] [--period S]
//                      [--publish]
// "发表" is pressed after an import or with --publish.
// Prints "resumed-at N" (the 0-based row the engine starts at) and "done"
// when the pass ended without a kill. Exit 0, or 3 when the sign-in failed.
#include <signal.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "app/application.h"
#include "app/main_window.h"
#include "browser/browser_control.h"
#include "config/app_config.h"
#include "tests/doubles/recording_dialogs.h"
#include "share/share_engine.h"

using namespace quillet;

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QCommandLineParser parser;
  const QCommandLineOption site(QStringLiteral("site"), {}, QStringLiteral("URL"));
  const QCommandLineOption data(QStringLiteral("data-dir"), {}, QStringLiteral("DIR"));
  const QCommandLineOption import(QStringLiteral("import"), {}, QStringLiteral("FILE"));
  const QCommandLineOption killAt(QStringLiteral("kill-at"), {}, QStringLiteral("EVENT:ROW"));
  const QCommandLineOption period(QStringLiteral("period"), {}, QStringLiteral("S"),
                                  QStringLiteral("21"));
  const QCommandLineOption publish(QStringLiteral("publish"));
  parser.addOptions({site, data, import, killAt, period, publish});
  parser.process(qapp);

  AppConfig config;
  config.siteBase = parser.value(site);
  config.dataDir = parser.value(data);
  RecordingDialogs dialogs;
  Application app(config, &dialogs);
  if (!app.lockDataFolder()) return 1;
  app.onMainWindowCreated();
  MainWindow& w = app.window();
  for (const auto& m : dialogs.messages()) std::printf("message %s\n", qPrintable(m.text));

  // Kill ourselves at the chosen step: connected after the program's own
  // slots, so this runs once they have done their work.
  const QStringList kill = parser.value(killAt).split(u':');
  if (kill.size() == 2) {
    const QString event = kill[0];
    const int row = kill[1].toInt();
    auto die = [event, row](const QString& seen, int at) {
      if (seen != event || at != row) return;
      std::printf("killed at %s:%d\n", qPrintable(seen), at);
      std::fflush(stdout);
      ::raise(SIGKILL);
    };
    ShareEngine* engine = &app.shareEngine();
    QObject::connect(engine, &ShareEngine::addressEntered, engine,
                     [die](int r) { die(QStringLiteral("address"), r); });
    QObject::connect(engine, &ShareEngine::confirmClicked, engine, [die, engine](int r) {
      die(QStringLiteral("confirm"), r);
      // In the wait after the click: the site has the share, the list not
      // yet its result.
      QTimer::singleShot(150, engine, [die, r] { die(QStringLiteral("clicked"), r); });
    });
    QObject::connect(engine, &ShareEngine::rowFinished, engine,
                     [die](int r) { die(QStringLiteral("result"), r); });
  }

  if (!QTest::qWaitFor([&] { return !w.browser->isLoading(); }, 20000)) {
    std::printf("the login page did not load\n");
    return 3;
  }
  w.userName->setText(QStringLiteral("demo"));
  w.password->setText(QStringLiteral("demo123"));
  w.captcha->setText(QStringLiteral("7139"));
  w.loginButton->click();
  if (!w.tabs->isTabEnabled(1)) {
    std::printf("sign-in failed: %s\n", qPrintable(w.loginHint->text()));
    return 3;
  }
  if (parser.isSet(import)) {
    dialogs.setNextFileName(parser.value(import));
    w.importButton->click();
  }
  std::printf("status %s\n", qPrintable(w.statusParts[1]->text()));
  if (!parser.isSet(import) && !parser.isSet(publish)) return 0;
  QObject::connect(&app.shareEngine(), &ShareEngine::passStarted, &app.shareEngine(),
                   [](int row) { std::printf("resumed-at %d\n", row); });
  w.period->setText(parser.value(period));
  w.publishButton->click();
  if (!QTest::qWaitFor([&] { return !app.shareEngine().isRunning(); }, 300000)) {
    std::printf("the pass did not end\n");
    return 4;
  }
  std::printf("done %s\n", qPrintable(w.statusParts[1]->text()));
  std::fflush(stdout);
  return 0;
}
