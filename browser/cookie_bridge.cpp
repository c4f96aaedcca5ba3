#include "browser/cookie_bridge.h"

#include <QEventLoop>
#include <QNetworkCookie>
#include <QRandomGenerator>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include "browser/cookie_conversion.h"
#include "net/cookie_jar.h"

namespace quillet {
namespace {

// catchUp()'s marker: a cookie of a host that no page or download ever
// reaches, so that it is sent nowhere.
constexpr char kMarkerName[] = "quillet-catch-up";
constexpr char kMarkerHost[] = "catch-up.quillet.invalid";

// Whether `cookie` is catchUp()'s marker, which never reaches the jar.
bool isMarker(const QNetworkCookie& cookie) {
  return cookie.name() == kMarkerName && cookie.domain().endsWith(QLatin1String(kMarkerHost));
}

QUrl markerOrigin() {
  return QUrl(QStringLiteral("http://%1/").arg(QLatin1String(kMarkerHost)));
}

// The bridge of each profile, for ensureFor(). Touched on the GUI thread only.
std::map<const QWebEngineProfile*, CookieBridge*>& bridges() {
  static std::map<const QWebEngineProfile*, CookieBridge*> map;
  return map;
}

}  // namespace

CookieBridge::CookieBridge(QWebEngineProfile* profile, QObject* parent)
    : QObject(parent),
      profile_(profile),
      profileKey_(profile),
      store_(profile ? profile->cookieStore() : nullptr) {
  if (!store_) return;
  bridges().emplace(profile, this);
  connect(store_, &QWebEngineCookieStore::cookieAdded, this, &CookieBridge::onEngineAdded);
  connect(store_, &QWebEngineCookieStore::cookieRemoved, this, &CookieBridge::onEngineRemoved);

  CookieJar& jar = CookieJar::instance();
  // The jar may call from a transfer's worker thread; the browser's store is
  // only touched on this object's thread. Queued calls addressed to this
  // object are dropped with it, and removeListener() in the destructor waits
  // out a call in progress, so no report outlives the bridge.
  listenerToken_ = jar.addListener([this](const Cookie& cookie, bool removed) {
    QMetaObject::invokeMethod(
        this, [this, cookie, removed] { onJarChanged(cookie, removed); }, Qt::QueuedConnection);
  });
  for (const Cookie& cookie : jar.all()) onJarChanged(cookie, false);
  // Loads the profile's saved cookies, each reported through cookieAdded.
  // Cookies the engine already holds in memory are not reported again (it
  // offers no way to list them), hence a bridge made before the first load.
  store_->loadAllCookies();
}

CookieBridge::~CookieBridge() {
  const auto it = bridges().find(profileKey_);
  if (it != bridges().end() && it->second == this) bridges().erase(it);
  if (listenerToken_ >= 0) CookieJar::instance().removeListener(listenerToken_);
}

CookieBridge* CookieBridge::ensureFor(QWebEngineProfile* profile) {
  if (!profile) return nullptr;
  const auto it = bridges().find(profile);
  if (it != bridges().end()) return it->second;
  return new CookieBridge(profile, profile);
}

CookieBridge::Key CookieBridge::keyOf(const Cookie& cookie) {
  return {cookie.domain, cookie.path.empty() ? std::string("/") : cookie.path, cookie.name};
}

bool CookieBridge::knownAs(const Cookie& cookie) const {
  const auto it = agreed_.find(keyOf(cookie));
  return it != agreed_.end() && it->second == cookie;
}

bool CookieBridge::catchUp(int limitMs) {
  if (!store_) return false;
  // The engine's store applies its changes in order and reports them in
  // that order: once a marker set now is reported, every change made before
  // it has been reported too, and copied into the jar on the way.
  // A value of its own each time: a marker left behind by an earlier run (a
  // process killed during the wait) never passes for this one.
  QNetworkCookie marker(kMarkerName, QByteArray::number(QRandomGenerator::global()->generate64()));
  marker.setPath(QStringLiteral("/"));
  bool seen = false;
  QEventLoop loop;
  QTimer limit;
  limit.setSingleShot(true);
  connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  connect(store_, &QWebEngineCookieStore::cookieAdded, &loop,
          [&seen, &loop, &marker](const QNetworkCookie& added) {
            if (!isMarker(added) || added.value() != marker.value()) return;
            seen = true;
            loop.quit();
          });
  store_->setCookie(marker, markerOrigin());
  limit.start(limitMs);
  // A short wait on the engine's answer: clicks and keys wait for it.
  const QPointer<CookieBridge> self(this);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (self && store_) store_->deleteCookie(marker, markerOrigin());
  return seen;
}

void CookieBridge::onEngineAdded(const QNetworkCookie& engineCookie) {
  if (isMarker(engineCookie)) return;
  Cookie cookie = toJarCookie(engineCookie);
  if (cookie.path.empty()) cookie.path = "/";
  if (knownAs(cookie)) return;  // our own copy coming back
  agreed_[keyOf(cookie)] = cookie;
  CookieJar::instance().set(cookie);
}

void CookieBridge::onEngineRemoved(const QNetworkCookie& engineCookie) {
  if (isMarker(engineCookie)) return;
  const Cookie cookie = toJarCookie(engineCookie);
  const auto it = agreed_.find(keyOf(cookie));
  // A removal of a value other than the agreed one is the first half of an
  // overwrite (the engine reports the old value removed, then the new one
  // added) or the echo of a value we replaced ourselves: the jar already
  // holds the right cookie.
  if (it == agreed_.end() || it->second.value != cookie.value) return;
  agreed_.erase(it);
  CookieJar::instance().remove(cookie);
}

void CookieBridge::onJarChanged(const Cookie& reported, bool removed) {
  if (!store_) return;
  Cookie cookie = reported;
  if (cookie.path.empty()) cookie.path = "/";
  if (removed) {
    const auto it = agreed_.find(keyOf(cookie));
    // Already gone on this side, or a report about a value that has been
    // replaced since (reports from the jar arrive late).
    if (it == agreed_.end() || it->second.value != cookie.value) return;
    agreed_.erase(it);
    store_->deleteCookie(toEngineCookie(cookie), engineOrigin(cookie));
    return;
  }
  if (knownAs(cookie)) return;  // our own copy coming back
  agreed_[keyOf(cookie)] = cookie;
  store_->setCookie(toEngineCookie(cookie), engineOrigin(cookie));
}

}  // namespace quillet
