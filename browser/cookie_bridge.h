#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <map>
#include <tuple>

#include "net/cookie.h"

class QNetworkCookie;

namespace quillet {

/// Keeps one browser profile's cookie store and the process-wide CookieJar
/// of the HTTP engine in step, both ways, so that a download made by the
/// program carries the browser's session on a site and the browser sees
/// cookies that a download received.
///
/// Each side's changes are copied to the other. The bridge remembers the
/// state both sides agreed on last, per cookie, and drops a change that only
/// reports that state back (the echo of its own copy), so the two stores
/// settle instead of copying the same cookie to and fro.
///
/// Create it on the GUI thread before the profile's first page loads: the
/// engine reports the cookies it receives as they arrive but cannot list the
/// ones it already holds. The jar may report from worker threads, and
/// those reports are carried over to the GUI thread before they touch the
/// browser's store.
class CookieBridge : public QObject {
  Q_OBJECT

 public:
  explicit CookieBridge(QWebEngineProfile* profile, QObject* parent = nullptr);
  ~CookieBridge() override;
  CookieBridge(const CookieBridge&) = delete;
  CookieBridge& operator=(const CookieBridge&) = delete;

  /// The bridge of `profile` (whichever was made first), created as a child
  /// of the profile when there is none. Safe to call any number of times.
  static CookieBridge* ensureFor(QWebEngineProfile* profile);

  /// Waits (at most `limitMs`, real time, user input held) until every
  /// change the browser's store has made so far has reached the jar: the
  /// engine reports its changes some time after it makes them, so a cookie a
  /// page has just received (a fresh session after a sign-in) may not be in
  /// the jar yet, and a download made now would carry the stale one. True
  /// when the store caught up in time.
  bool catchUp(int limitMs);

  QWebEngineProfile* profile() const { return profile_.data(); }

 private:
  using Key = std::tuple<std::string, std::string, std::string>;  // domain, path, name
  static Key keyOf(const Cookie& cookie);
  bool knownAs(const Cookie& cookie) const;

  void onEngineAdded(const QNetworkCookie& cookie);
  void onEngineRemoved(const QNetworkCookie& cookie);
  void onJarChanged(const Cookie& cookie, bool removed);

  QPointer<QWebEngineProfile> profile_;
  // The registry key; stays valid to compare while the profile is destroyed.
  const QWebEngineProfile* profileKey_;
  QPointer<QWebEngineCookieStore> store_;
  int listenerToken_ = -1;
  std::map<Key, Cookie> agreed_;
};

}  // namespace quillet
