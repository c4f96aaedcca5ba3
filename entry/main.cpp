#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "app/window_main.h"
#include "browser/browser_control.h"
#include "browser/engine_proxy.h"
#include "config/app_config.h"
#include "config/environment_password.h"
#include "config/private_files.h"
#include "net/process_proxy.h"
#include "term/dispatcher.h"
#include "term/subcommand_registry.h"

namespace {

// The browser engine refuses to start as root with its sandbox on.
void prepareBrowserEngineEnvironment() {
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

QString programDirectory(const char* argv0) {
  // Before any application object exists: resolve /proc/self/exe, else argv[0].
  const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  const QFileInfo info(exe.isEmpty() ? QString::fromLocal8Bit(argv0) : exe);
  return info.absolutePath();
}

}  // namespace

int main(int argc, char* argv[]) {
  quillet::keepNewFilesPrivate();
  quillet::takeEnvironmentPassword();
  const QString programDir = programDirectory(argc > 0 ? argv[0] : "quillet");

  // A subcommand runs in the terminal; without one the window opens. A word
  // that is neither an option nor a subcommand is a mistyped subcommand: the
  // window must not open for it.
  if (argc > 1 && quillet::term::isSubcommand(argv[1])) {
    prepareBrowserEngineEnvironment();
    return quillet::term::runSubcommand(argc, argv, programDir);
  }
  if (argc > 1 && argv[1][0] != '-') return quillet::term::refuseUnknownSubcommand(argv[1]);

  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const quillet::AppConfig config =
      quillet::parseAppConfig(arguments, programDir, quillet::term::subcommandsHelp());
  if (config.exitNow) {
    std::fputs(config.message.toLocal8Bit().constData(), config.exitCode == 0 ? stdout : stderr);
    return config.exitCode;
  }
  prepareBrowserEngineEnvironment();
  if (!config.accountName.isEmpty())
    quillet::BrowserControl::nameProfile(QStringLiteral("quillet-") + config.accountName);
  // An account's proxy carries the captcha downloads and every page.
  if (config.proxy) {
    quillet::setProcessProxy(config.proxy->transferUrl());
    quillet::useEngineProxy(config.proxy->serverText(), config.proxy->user, config.proxy->password);
    quillet::addEngineProxyFlags();
  }
  return quillet::runWindow(argc, argv, config);
}
