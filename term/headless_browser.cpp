#include "term/headless_browser.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include "browser/browser_control.h"
#include "browser/indexed_page.h"
#include "signin/cookie_bridge.h"

namespace quillet::term {
namespace {

// QApplication keeps references to these for its whole life.
int gArgc = 1;
char gProgramName[] = "quillet";
char* gArgv[] = {gProgramName, nullptr};

}  // namespace

void HeadlessBrowser::choosePlatform() {
  const bool hasDisplay =
      !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  if (!hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nothing is drawn on a screen: the engine needs no graphics process.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
      qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  }
}

HeadlessBrowser::HeadlessBrowser(const QString& stateDir) {
  choosePlatform();
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
  waiter.WaitUntilComplete(browser_, limitMs);
}

}  // namespace quillet::term
