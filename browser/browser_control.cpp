#include "browser/browser_control.h"

#include <QCoreApplication>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include "browser/engine_proxy.h"
#include "site/kept_session.h"

namespace quillet {

BrowserControl::BrowserControl(QWidget* parent, QWebEngineProfile* profile)
    : QWebEngineView(parent) {
  auto* page = new QWebEnginePage(profile ? profile : defaultProfile(), this);
  setPage(page);
  answerProxyAuthentication(page);
  connect(page, &QWebEnginePage::loadingChanged, this, &BrowserControl::onLoadingChanged);
  connect(page, &QWebEnginePage::urlChanged, this, &BrowserControl::onUrlChanged);
  startLimit_.setSingleShot(true);
  connect(&startLimit_, &QTimer::timeout, this, &BrowserControl::endAwaitedNavigation);
}

BrowserControl::~BrowserControl() = default;

void BrowserControl::navigate(const QString& url) {
  const QUrl target = QUrl::fromUserInput(url);
  if (!target.isValid()) return;
  const QUrl shown = this->url();
  sameDocument_ = target.hasFragment() && target != shown &&
                  target.adjusted(QUrl::RemoveFragment) == shown.adjusted(QUrl::RemoveFragment);
  requested_ = target;
  awaitingStart_ = true;
  loading_ = true;
  startLimit_.start(kNavigationStartLimitMs);
  load(target);
}

void BrowserControl::onLoadingChanged(const QWebEngineLoadingInfo& info) {
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
    // Ours or one the page started: either way a load is under way now.
    awaitingStart_ = false;
    startLimit_.stop();
    loading_ = true;
    return;
  }
  if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) errorPage_ = false;
  if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.isErrorPage())
    errorPage_ = true;
  // The end of a load that our navigation replaces says nothing about ours, which is still
  // to start; the end of our own (even one never reported as started) does.
  if (awaitingStart_ && info.url() != requested_) return;
  endAwaitedNavigation();
}

void BrowserControl::onUrlChanged(const QUrl& url) {
  if (awaitingStart_ && sameDocument_ && url == requested_) endAwaitedNavigation();
}

void BrowserControl::endAwaitedNavigation() {
  awaitingStart_ = false;
  sameDocument_ = false;
  startLimit_.stop();
  loading_ = false;
}

namespace {

QString& profileName() {
  static QString name = QStringLiteral("quillet");
  return name;
}

}  // namespace

void BrowserControl::nameProfile(const QString& name) {
  profileName() = name;
}

QWebEngineProfile* BrowserControl::defaultProfile() {
  static QPointer<QWebEngineProfile> profile;
  if (!profile) profile = new QWebEngineProfile(profileName(), qApp);
  return profile;
}

void BrowserControl::keepSessionIn(const QString& stateDir) {
  setKeptSessionFolder(stateDir);
  QWebEngineProfile* profile = defaultProfile();
  const QString folder = stateDir + QLatin1String("/browser");
  profile->setPersistentStoragePath(folder);
  profile->setCachePath(folder + QLatin1String("/cache"));
  // The site's session cookie has no expiry; kept anyway, it is what carries
  // a sign-in from one run to the next.
  profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
}

namespace {

// Children in creation order; a hit below a child wins over the child's later siblings.
BrowserControl* searchBelow(QWidget* parent, QList<QWidget*>* all) {
  const QObjectList children = parent->children();
  for (QObject* child : children) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget) continue;
    if (auto* control = qobject_cast<BrowserControl*>(widget)) {
      if (!all) return control;
      all->append(control);
    }
    if (BrowserControl* found = searchBelow(widget, all); found && !all) return found;
  }
  return nullptr;
}

}  // namespace

BrowserControl* findBrowserControl(QWidget* parent) {
  return parent ? searchBelow(parent, nullptr) : nullptr;
}

void collectBrowserControls(QWidget* parent, QList<QWidget*>& out) {
  if (parent) searchBelow(parent, &out);
}

BrowserControl* browserControlOf(QWidget* window) {
  if (!window) return nullptr;
  if (auto* control = qobject_cast<BrowserControl*>(window)) return control;
  return findBrowserControl(window);
}

}  // namespace quillet
