#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "share/page_steps.h"
#include "share/run_context.h"
#include "share/share_controls.h"
#include "site/site_profile.h"

namespace quillet {

class Dialogs;

/// The sharing engine behind "导入地址", "发表" and "失败重发": walks the
/// address list, publishing one address after another through the share
/// site's pages at the period set by the user, and starts over when loop
/// sharing is ticked. Runs on the GUI thread; every wait keeps the window
/// working, so the buttons' handlers can run inside a pass.
class ShareEngine : public QObject {
  Q_OBJECT

 public:
  ShareEngine(ShareControls controls, SiteProfile profile, Dialogs& dialogs,
              QObject* parent = nullptr);
  ~ShareEngine() override;

  /// CurrentRow = FailedCount = 0 (the state of a freshly opened window).
  void resetRunState();

  /// "导入地址": the file's lines go on top of the list; a running pass keeps
  /// working on the same rows.
  void onImportClicked();
  /// "发表": checks the list and the period, then runs passes until the end
  /// of the list (again and again while loop sharing is ticked). Refused with
  /// a status-bar message while a pass runs.
  void onPublishClicked();
  /// "失败重发": replaces the rows by the failed addresses and starts a pass
  /// as "发表" does. Refused with a status-bar message while a pass runs.
  void onResendClicked();

  bool isRunning() const { return running_; }
  /// Ends a running pass at its next wait (for closing the window).
  void stop();

  std::int32_t currentRow() const { return state_.currentRow; }
  std::int32_t failedCount() const { return state_.failedCount; }

  /// Replaces the wait used between the steps (PumpWait by default), e.g. to
  /// observe the designed waits. It receives each wait's unscaled duration.
  void setWaitFunction(std::function<void(std::int32_t)> wait);

  /// The final pacing wait for a period text: P × 1000000 − 25000000 µs,
  /// truncated; 0 for an empty, unreadable or non-finite period.
  static std::int64_t pacingMicros(const QString& periodText);

  static QString refusalText();
  static QString noFailuresText();
  static QString noFailuresTitle();
  static QString finishedText();
  static QString busyPublishText();
  static QString busyResendText();

 Q_SIGNALS:
  /// A pass reached the end of the list ("发布完毕" is showing).
  void passFinished();
  /// The engine went idle (the passes ended, were refused or stopped).
  void runEnded();

 private:
  bool startAllowed();
  // One walk from CurrentRow to the end of the list; false when stopped.
  bool runPass(const std::shared_ptr<RunContext>& context);
  void onRowsInserted(int first, int last);

  ShareControls controls_;
  SiteProfile profile_;
  Dialogs& dialogs_;
  RunState state_;
  std::shared_ptr<RunContext> context_;
  PageSteps steps_;
  bool running_ = false;
};

}  // namespace quillet
