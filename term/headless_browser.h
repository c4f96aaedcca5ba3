#pragma once

#include <QString>
#include <memory>

class QApplication;

namespace quillet {
class BrowserControl;
}

namespace quillet::term {

/// The application object and the hidden browser of a terminal subcommand.
/// The browser's session (cookies, storage, cache) lives in
/// `<stateDir>/browser/` (the data folder with --data-dir), so a sign-in lasts from one process to
/// the next. The offscreen platform is used unless QT_QPA_PLATFORM names another. Destroys the
/// browser before the application, so the engine writes its session out at the end.
class HeadlessBrowser {
 public:
  explicit HeadlessBrowser(const QString& stateDir);
  ~HeadlessBrowser();
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

  BrowserControl* browser() const { return browser_; }

  /// Waits until the browser's page has loaded, at most `limitMs`.
  void waitUntilLoaded(int limitMs);

  /// Chooses the offscreen platform unless QT_QPA_PLATFORM asks for another
  /// (a display, even a live one, is not used), and the engine's flags for a
  /// run without a screen;
  /// call before the application object exists.
  static void choosePlatform();

 private:
  std::unique_ptr<QApplication> app_;
  BrowserControl* browser_ = nullptr;
};

}  // namespace quillet::term
