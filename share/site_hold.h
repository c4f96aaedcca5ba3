#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "journal/journal_types.h"
#include "share/hold_policy.h"
#include "share/run_context.h"
#include "site/site_page.h"
#include "site/site_profile.h"

namespace quillet {

class AddressListModel;
class FailedAddresses;
class PageSteps;
struct PassCursor;

/// The short word for a hold, as the title and the status bar show it:
/// "登录已失效", "账号被限制", "网站无法访问".
QString holdReasonText(HoldKind kind);
/// The hold's reason as events name it: "signedOut", "muted", "siteDown".
QString holdReasonKey(HoldKind kind);
/// The status-bar text of a hold at the 1-based row number, e.g.
/// "账号被限制：暂停到14:05，然后从第6个地址继续".
QString holdStatusText(const JournalHold& hold, int rowNumber);
/// The window title during a hold: "Quillet - 暂停到14:05 - 账号被限制", or
/// "Quillet - 等待登录 - 登录已失效" while the pass waits for a sign-in.
QString holdTitleText(const JournalHold& hold);
/// "HH:MM" of the hold's end, local time; empty for a hold without one.
QString holdUntilText(const JournalHold& hold);
/// The status-bar text of a pass given up on an unreachable site.
QString siteGivenUpText(int rowNumber);

/// Where the holds of a pass report, each call made before the pass goes on.
class HoldReport {
 public:
  virtual ~HoldReport();
  /// The pass holds (the hold is in the pass's record already).
  virtual void holdStarted(const JournalHold& hold) = 0;
  /// The hold is over; the pass goes on.
  virtual void holdEnded(const JournalHold& hold) = 0;
  /// A row's try was turned away by the site as a whole: its result (if it
  /// had one) is taken back and the pass tries it again.
  virtual void rowReleased(int row) = 0;
  /// The hold text for the status bar.
  virtual void holdText(const QString& text) = 0;
};

/// What the pass does after a look at the site.
enum class HoldStep {
  Go,     // nothing site-wide: the row goes on as usual
  Again,  // a hold was waited out: the pass takes its next row from the top
  End,    // the pass ends here, interrupted (stopped, signed out where
          // nobody can sign in, or the site stayed down past the limit)
};

/// Why the last pass ended in a hold; None when it did not.
enum class HoldEnding { None, SignedOut, GaveUp };

/// The holds of a pass: looks at the site before each row and after a step
/// fails, and when no row can succeed (signed out, muted, down) holds the
/// pass at the row it is on, with nothing marked, and goes on with it when
/// the condition is over. The decisions are HoldPolicy's; the waits are the
/// engine's (scaled by QUILLET_TIME_SCALE, cut short by stop, held by pause)
/// and count neither as designed waits nor as period.
class SiteHolds {
 public:
  struct Parts {
    AddressListModel* list = nullptr;
    FailedAddresses* failed = nullptr;
    PassCursor* cursor = nullptr;
    PageSteps* steps = nullptr;  // and the page they work
    HoldReport* report = nullptr;
  };
  SiteHolds(Parts parts, const SiteProfile& profile, std::shared_ptr<RunContext> context);

  /// A pass begins or goes on: a hold it was in (restored from the journal)
  /// is waited out first.
  HoldStep resume();
  /// The site as the current page shows it (after a page of a step loaded).
  HoldStep checkPage(SiteState state);
  /// The current row's result: `shared`, or a failure, or the site's mute
  /// notice (`muted`) instead of a result.
  HoldStep afterResult(RowKey row, bool shared, bool muted);

  /// A sign-in succeeded: a pass waiting for one goes on.
  void signedIn();
  /// Without anyone to sign in (a terminal run), a signed-out pass ends at
  /// once instead of waiting.
  void setEndWhenSignedOut(bool end) { endWhenSignedOut_ = end; }
  /// With a wait function (the engine's own, set by whoever keeps the time
  /// instead of the clock) a timed hold is one call of it and then over.
  void setWaitFunction(std::function<void(std::int32_t)> wait) { wait_ = std::move(wait); }
  /// Why the pass ended in a hold; cleared when a pass starts.
  HoldEnding ending() const { return ending_; }
  void clearEnding() { ending_ = HoldEnding::None; }
  /// A new pass begins: no hold decisions carry over.
  void reset();

 private:
  HoldStep signedOutHold();
  HoldStep muteHold(const HoldDecision& decision);
  HoldStep outageHold(HoldDecision decision);
  void begin(JournalHold hold);
  void end();
  void release(const QList<qint64>& rows);
  bool waitUntil(qint64 untilMs);
  bool waitForSignIn();
  RowKey holdRow() const;
  int rowNumber(RowKey row) const;

  Parts parts_;
  SiteProfile profile_;
  std::shared_ptr<RunContext> context_;
  HoldPolicy policy_;
  bool endWhenSignedOut_ = false;
  bool signedIn_ = false;
  std::function<void(std::int32_t)> wait_;
  HoldEnding ending_ = HoldEnding::None;
};

}  // namespace quillet
