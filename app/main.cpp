#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLoggingCategory>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

#include "app/app_config.h"
#include "app/application.h"
#include "app/main_window.h"
#include "app/profile_gate.h"
#include "app/qt_translations.h"
#include "share/dialogs.h"
#include "term/dispatcher.h"

namespace {

// The browser engine refuses to start as root with its sandbox on.
void prepareBrowserEngineEnvironment() {
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

QString programDirectory(const char* argv0) {
  // Before QApplication exists: resolve /proc/self/exe, else argv[0].
  const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  const QFileInfo info(exe.isEmpty() ? QString::fromLocal8Bit(argv0) : exe);
  return info.absolutePath();
}

}  // namespace

int main(int argc, char* argv[]) {
  // A subcommand runs in the terminal; without one the window opens.
  if (argc > 1 && quillet::term::isSubcommand(argv[1])) {
    prepareBrowserEngineEnvironment();
    return quillet::term::runSubcommand(argc, argv, programDirectory(argv[0]));
  }

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  quillet::AppConfig config =
      quillet::parseAppConfig(arguments, programDirectory(argc > 0 ? argv[0] : "quillet"));
  if (config.exitNow) {
    std::fputs(config.message.toLocal8Bit().constData(), config.exitCode == 0 ? stdout : stderr);
    return config.exitCode;
  }

  prepareBrowserEngineEnvironment();
  // The browser engine shares its rendering context with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  quillet::loadQtTranslations(app);
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
    quillet::QtDialogs dialogs;
    QTextStream err(stderr);
    if (!quillet::loadProfileForWindow(config, dialogs, err)) return quillet::kBadProfileExitCode;
  }

  quillet::Application quillet(config);
  if (!quillet.lockDataFolder()) return 1;
  // Closing the window ends the process at once, even inside a share pass or
  // a download: nothing is saved and nothing is asked.
  QObject::connect(&quillet.window(), &quillet::MainWindow::closing, [] {
    std::fflush(nullptr);
    std::_Exit(0);
  });
  quillet.onMainWindowCreated();
  return QApplication::exec();
}
