#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

class QWebEngineLoadingInfo;
class QWebEngineProfile;

namespace quillet {

/// The main window's hidden browser control: a QWebEngineView whose page lives on a named,
/// persistent profile, so that the signed-in session survives between runs.
class BrowserControl : public QWebEngineView {
  Q_OBJECT

 public:
  /// `profile == nullptr` selects the program's own profile "quillet" (see defaultProfile()).
  /// A profile passed in must outlive the control.
  explicit BrowserControl(QWidget* parent = nullptr, QWebEngineProfile* profile = nullptr);
  ~BrowserControl() override;

  /// Starts loading `url` (user input form: "127.0.0.1:8080/x" works too) and returns at once.
  /// From this call until the load ends the control counts as loading, even before the engine
  /// reports the start, so that a wait right after a navigation does not see the old page.
  /// Every navigation ends that state: one that only moves to a `#fragment` of the document
  /// shown ends it when the address changes, and one the engine never starts (it dropped it)
  /// ends it after kNavigationStartLimitMs.
  void navigate(const QString& url);

  /// How long the engine gets to report the start of a navigation before it counts as dropped.
  /// Real time: the engine reports a start before the first byte is asked for.
  static constexpr int kNavigationStartLimitMs = 5000;

  /// True from navigate() (or any load the page starts by itself) until that load finishes.
  bool isLoading() const { return loading_; }

  /// True while the page shown is the engine's own error page for a load that failed (the site
  /// could not be reached, or refused or dropped the connection), not a page from the site.
  bool showsErrorPage() const { return errorPage_; }

  /// The named persistent profile "quillet", created on first use and owned by the
  /// application object, so that it outlives every page that uses it.
  static QWebEngineProfile* defaultProfile();

  /// Names the default profile (before its first use): each account's own, so
  /// that two accounts' processes never share what the engine keeps under a
  /// profile's name (its preferences, below $XDG_DATA_HOME) either.
  static void nameProfile(const QString& name);

  /// Keeps the default profile's cookies (session cookies too), site storage and cache in
  /// `<stateDir>/browser/`, so that a signed-in session survives the process and two state
  /// folders never share one. Call before the profile's first page loads. The folder is then
  /// the process's keptSessionFolder().
  static void keepSessionIn(const QString& stateDir);

 private:
  void onLoadingChanged(const QWebEngineLoadingInfo& info);
  void onUrlChanged(const QUrl& url);
  void endAwaitedNavigation();

  bool loading_ = false;
  bool errorPage_ = false;
  // navigate() asked for `requested_` and the engine has not reported its start yet.
  bool awaitingStart_ = false;
  // The request only changes the fragment of the shown document: no load will be reported.
  bool sameDocument_ = false;
  QUrl requested_;
  QTimer startLimit_;
};

/// Depth-first search of `parent`'s descendants (not `parent` itself) for the first
/// BrowserControl, children in creation order. nullptr when there is none.
BrowserControl* findBrowserControl(QWidget* parent);

/// The same walk, appending every BrowserControl found below `parent` to `out`.
void collectBrowserControls(QWidget* parent, QList<QWidget*>& out);

/// `window` itself when it is a BrowserControl, else the first one below it, else nullptr.
BrowserControl* browserControlOf(QWidget* window);

}  // namespace quillet
