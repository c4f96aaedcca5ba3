#include "app/window_main.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLoggingCategory>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

#include "app/application.h"
#include "app/main_window.h"
#include "app/profile_gate.h"
#include "app/qt_translations.h"
#include "app/qt_dialogs.h"

namespace quillet {

int runWindow(int& argc, char** argv, const AppConfig& settled) {
  AppConfig config = settled;
  // The browser engine shares its rendering context with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  loadQtTranslations(app);
  // The engine's start-up report of its graphics setup is noise for a user.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
  // Lets the desktop match the window to the installed menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.quillet.Quillet"));
  QFont font = QApplication::font();
  font.setFamilies(
      {font.family(), QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
  QApplication::setFont(font);

  for (const QString& folder : {config.dataDir, config.stateDir}) {
    if (!QDir().mkpath(folder)) {
      std::fprintf(stderr, "Cannot create the data folder %s\n", qPrintable(folder));
      return 1;
    }
  }

  {
    QtDialogs dialogs;
    QTextStream err(stderr);
    if (!loadProfileForWindow(config, dialogs, err)) return kBadProfileExitCode;
  }

  Application quillet(config);
  if (!quillet.lockDataFolder()) return 1;
  // Closing the window ends the process at once, even inside a share pass or
  // a download: nothing is saved and nothing is asked.
  QObject::connect(&quillet.window(), &MainWindow::closing, [] {
    std::fflush(nullptr);
    std::_Exit(0);
  });
  quillet.onMainWindowCreated();
  return QApplication::exec();
}

}  // namespace quillet
