#include "browser/browser_control.h"

#include <QCoreApplication>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace quillet {

BrowserControl::BrowserControl(QWidget* parent, QWebEngineProfile* profile)
    : QWebEngineView(parent) {
  auto* page = new QWebEnginePage(profile ? profile : defaultProfile(), this);
  setPage(page);
  connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    loading_ = info.status() == QWebEngineLoadingInfo::LoadStartedStatus;
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) errorPage_ = false;
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.isErrorPage())
      errorPage_ = true;
  });
}

BrowserControl::~BrowserControl() = default;

void BrowserControl::navigate(const QString& url) {
  const QUrl target = QUrl::fromUserInput(url);
  if (!target.isValid()) return;
  loading_ = true;
  load(target);
}

QWebEngineProfile* BrowserControl::defaultProfile() {
  static QPointer<QWebEngineProfile> profile;
  if (!profile) profile = new QWebEngineProfile(QStringLiteral("quillet"), qApp);
  return profile;
}

void BrowserControl::keepSessionIn(const QString& stateDir) {
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
