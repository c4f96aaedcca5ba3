#include "term/headless_browser.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <cstdio>
#include <cstring>

#include "browser/browser_control.h"
#include "browser/cookie_bridge.h"
#include "browser/engine_proxy.h"
#include "browser/indexed_page.h"

namespace quillet::term {
namespace {

// QApplication keeps references to these for its whole life.
int gArgc = 1;
char gProgramName[] = "quillet";
char* gArgv[] = {gProgramName, nullptr};

// The engine's reports about its own set-up (no runtime folder, the sandbox
// off as root, no GPU offscreen, the order in which its parts started) and
// the site's own script console say nothing a user of a terminal run can act
// on, and would fill a cron mail every day. Everything else passes.
void quietEngineReports(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  static const char* const kNoise[] = {"XDG_RUNTIME_DIR", "Sandboxing disabled", "graphics backend",
                                       "WebEngineContext used before"};
  if (type == QtDebugMsg || type == QtInfoMsg) return;
  // The pages' console messages come in the "js" category.
  if (context.category != nullptr && std::strcmp(context.category, "js") == 0) return;
  if (text.startsWith(QLatin1String("js: "))) return;
  for (const char* noise : kNoise) {
    if (text.contains(QLatin1String(noise))) return;
  }
  std::fprintf(stderr, "%s\n", qUtf8Printable(qFormatLogMessage(type, context, text)));
}

}  // namespace

void HeadlessBrowser::choosePlatform() {
  // A subcommand shows no window, so a display is never needed, and a stale
  // one (tmux re-attached over ssh, sudo) would abort the start. Only a
  // platform asked for by name is used.
  const bool offscreen = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  if (offscreen) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) return;
  QByteArray flags;
  // Nothing is drawn on a screen: the engine needs no graphics process.
  if (offscreen) flags += "--disable-gpu";
  // The zygote only exists to start sandboxed renderers; with the sandbox
  // off it is two more processes holding the engine's libraries.
  if (!qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) flags += " --no-zygote";
  if (!flags.isEmpty()) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
}

HeadlessBrowser::HeadlessBrowser(const QString& stateDir) {
  choosePlatform();
  addEngineProxyFlags();
  if (qEnvironmentVariableIsEmpty("QUILLET_DEBUG")) qInstallMessageHandler(quietEngineReports);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  app_ = std::make_unique<QApplication>(gArgc, gArgv);
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));

  BrowserControl::keepSessionIn(QDir(stateDir).absolutePath());
  QWebEngineProfile* profile = BrowserControl::defaultProfile();
  // Downloads must carry the kept session: bridge the stores before the
  // first page, then have the engine report the cookies it kept on disk.
  CookieBridge::ensureFor(profile);
  profile->cookieStore()->loadAllCookies();
  browser_ = new BrowserControl(nullptr, profile);
}

HeadlessBrowser::~HeadlessBrowser() {
  // Every page goes before its profile, the profile before the application.
  delete browser_;
  delete BrowserControl::defaultProfile();
  app_.reset();
}

void HeadlessBrowser::waitUntilLoaded(int limitMs) {
  IndexedPage waiter;
  waiter.waitUntilComplete(browser_, limitMs);
}

}  // namespace quillet::term
