#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "share/address_import.h"
#include "share/failed_addresses.h"
#include "share/page_steps.h"
#include "share/run_context.h"
#include "share/share_refusal.h"
#include "share/site_hold.h"
#include "site/site_profile.h"

namespace quillet {

class AddressListModel;
class ShareSettings;

/// The sharing engine behind "导入地址", "发表" and "失败重发": walks the
/// address list, publishing one address after another through the share
/// site's pages at the period of its settings, and starts over when loop
/// sharing is on. It reads its settings through ShareSettings and reports
/// through signals, never through widgets or message boxes: a refusal or a
/// file it cannot read comes back as a typed signal, which the window and
/// the terminal each present their own way, so that both drive the same
/// flow. Every signal is emitted before the pass goes on to its next page
/// step: a slot that records it makes it durable. Runs on the GUI thread;
/// every wait keeps the event loop working, so the buttons' handlers can run
/// inside a pass.
class ShareEngine : public QObject {
  Q_OBJECT

 public:
  /// The engine works the site through `page` (null: no page). The page,
  /// the list and the settings must outlive the engine.
  ShareEngine(AddressListModel& list, ShareSettings& settings, SitePage* page, SiteProfile profile,
              QObject* parent = nullptr);
  ~ShareEngine() override;

  /// No pass to go on with (the state of a freshly opened window).
  void resetRunState();
  /// While idle: the pass that the next "发表" goes on with (an interrupted
  /// pass restored from a journal).
  void setPass(const JournalPass& pass);
  /// The pass under way, or the one "发表" goes on with; null when none.
  const JournalPass* pass() const { return cursor_.pass ? &*cursor_.pass : nullptr; }
  /// The journal's key for the pass just started.
  void setPassKey(PassKey key);

  /// "导入地址" of the file at `path`: its lines go on top of the list; a
  /// running pass keeps working on the same rows. A file that cannot be read
  /// changes nothing and is reported through importFailed. An empty path is
  /// a file dialog that was cancelled: nothing is read. Either way the row
  /// count is shown afterwards (importedText).
  ImportResult importFile(const QString& path);
  /// "发表": checks the list and the period, then goes on with a stopped or
  /// interrupted pass (its own rows; rows added since are left for the next
  /// one) or starts a pass over the whole list, again and again while loop
  /// sharing is on. Refused with a status-bar message while a pass runs, and
  /// through `refused` when the checks fail.
  void publish();
  /// "失败重发": replaces the rows by the failed addresses and starts a pass
  /// as "发表" does. When rows hold results, `mayDiscard` is asked first with
  /// their number (false: nothing changes; an empty function gives nothing
  /// up). Refused with a status-bar message while a pass runs, and through
  /// `refused` when there is no failed address.
  void resend(const std::function<bool(int rowsWithResults)>& mayDiscard);
  /// Starts a pass at `row` (0-based), with the checks of "发表". Refused
  /// while a pass runs.
  void startAt(int row);

  bool isRunning() const { return running_; }
  bool isPaused() const { return context_->paused; }
  /// Holds a running pass at its next wait or step boundary; the time held
  /// does not count toward any designed wait.
  void pause();
  /// Lets a paused pass go on.
  void resume();
  /// Ends a running pass at its next step boundary. A row whose confirm was
  /// clicked is still checked and recorded first.
  void requestStop();
  /// Ends a running pass at its next wait (for closing the window).
  void stop() { requestStop(); }

  /// The list position of the row being worked on, or of the row the pass
  /// goes on with; 0 without a pass.
  std::int32_t currentRow() const;
  std::int32_t failedCount() const { return cursor_.pass ? cursor_.pass->failedCount : 0; }
  /// The typed settings a pass would run with now (the period as read from
  /// the settings; 0 when it is not a number).
  PassSettings currentSettings() const;
  /// The name a terminal run gives the file its pass shares (kept with the
  /// pass for --resume).
  void setSourceFile(const QString& path) { sourceFile_ = path; }
  FailedAddresses& failedAddresses() { return failed_; }
  AddressListModel& list() { return list_; }

  /// A sign-in succeeded: a pass held because the site signed it out goes on
  /// at the row it held at.
  void signedIn();
  /// Without anyone to sign in (a terminal run), a pass that finds itself
  /// signed out ends, interrupted, instead of waiting for a sign-in.
  void setEndWhenSignedOut(bool end);
  /// Why the last pass ended in a hold (None when it did not).
  HoldEnding holdEnding() const;
  /// The hold the pass is in; null when none.
  const JournalHold* hold() const {
    return cursor_.pass && cursor_.pass->hold ? &*cursor_.pass->hold : nullptr;
  }

  /// Replaces the wait used between the steps (pumpWait by default), e.g. to
  /// observe the designed waits. It receives each wait's unscaled duration;
  /// a wait put in this way cannot be cut short by pause or stop. An empty
  /// function brings back the engine's own wait.
  void setWaitFunction(std::function<void(std::int32_t)> wait);

  /// The final pacing wait for a period of `seconds`: P × 1000000 − 25000000
  /// µs, truncated toward zero; 0 when that is not above zero or the period
  /// is not finite.
  static std::int64_t pacingMicros(double seconds);

  static QString finishedText();
  static QString busyPublishText();
  static QString busyResendText();
  static QString pausedText();   // "已暂停"
  static QString stoppedText();  // "已停止"
  /// "发布完毕" with the number of rows added while the pass was stopped or
  /// interrupted, which it left for the next "发表".
  static QString finishedWithNewRowsText(int newRows);

 Q_SIGNALS:
  /// Status-bar part 1: progress, "发布完毕", "已暂停", "已停止", and the
  /// refusals while a pass runs.
  void progressText(const QString& text);
  /// "发表", "失败重发" or a start at a row (or a loop's next round) was
  /// refused for `reason`; a person must hear of it (the window shows a
  /// message box, the terminal a line). NothingToShare comes after the
  /// period field was given the focus, and before runEnded.
  void refused(quillet::Refusal reason);
  /// The file of an import could not be read; sent before importedText.
  void importFailed(const quillet::ImportFailure& failure);
  /// Status-bar part 2: "已导入N个地址".
  void importedText(const QString& text);
  /// The comment pool entry drawn for the share in progress.
  void commentChosen(int index);
  /// A pass starts at 0-based `row`.
  void passStarted(int row);
  /// The address of `row` went into the page.
  void addressEntered(int row);
  /// The confirm of `row` is being clicked: from here on it may be shared.
  void confirmClicked(int row);
  /// `row`'s outcome is written into the list.
  void rowFinished(int row);
  /// The pass's record changed (its state, settings or failure count).
  void runStateChanged();
  /// A pass ended: at the end of the list ("发布完毕" is showing) or not.
  void passEnded(bool completed);
  /// A pass reached the end of the list ("发布完毕" is showing).
  void passFinished();
  void pausedChanged(bool paused);
  /// The pass holds at a row because of the site as a whole (signed out,
  /// muted, down); the hold is in the pass's record (runStateChanged is not
  /// sent for it: holdChanged is).
  void holdStarted(const JournalHold& hold);
  /// The hold is over and the pass goes on.
  void holdEnded(const JournalHold& hold);
  /// The pass's hold changed (begun, renewed or ended): record it.
  void holdChanged();
  /// `row`'s try was turned away by the site as a whole: a result it had is
  /// taken back, and the pass tries it again.
  void rowReleased(int row);
  /// The engine went idle (the passes ended, were refused or stopped).
  void runEnded();

 private:
  class Report;
  friend class Report;

  bool startAllowed();
  void run(std::optional<JournalPass> fresh);
  JournalPass newPass(PassKind kind, int firstRow);
  int rowsLeftForNextPass() const;
  // Whether the pass has a row it has not done that is still in the list.
  bool passHasRowLeft() const;
  void showProgress(const QString& text);
  // One walk through the pass's rows; false when it ended early.
  bool runPass(const std::shared_ptr<RunContext>& context);
  void markFinished();
  // Takes the settings as they stand now into the running pass's record.
  void takeSettingsChanges();

  AddressListModel& list_;
  ShareSettings& settings_;
  SiteProfile profile_;
  FailedAddresses failed_;
  PassCursor cursor_;
  QString sourceFile_;
  bool continuing_ = false;
  std::shared_ptr<RunContext> context_;
  std::unique_ptr<Report> report_;
  PageSteps steps_;
  std::unique_ptr<SiteHolds> holds_;
  QString lastProgress_;
  bool running_ = false;
};

}  // namespace quillet
