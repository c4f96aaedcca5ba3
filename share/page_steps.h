#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>

#include "journal/journal_types.h"
#include "share/run_context.h"
#include "share/site_hold.h"
#include "site/site_page.h"
#include "site/site_profile.h"

namespace quillet {

class AddressListModel;
class FailedAddresses;
class ShareSettings;

/// Where a pass is: the pass itself (its rows in the order fixed when it
/// started, the rows done in it) and the row being worked on. Rows are
/// named by key, never by position: imports and deletes move positions.
struct PassCursor {
  std::optional<JournalPass> pass;
  /// Every row of the pass before this index is done, gone or skipped.
  int place = 0;
  /// The row whose address went in last (0 before the first).
  RowKey current = 0;
};

/// Where the page steps report, each call made before the flow goes on.
class StepReport {
 public:
  virtual ~StepReport();
  /// Status-bar progress ("正在分享第N个地址").
  virtual void progress(const QString& text) = 0;
  /// The comment pool entry drawn for this share.
  virtual void commentChosen(int index) = 0;
  /// The address of `row` went into the page and was submitted.
  virtual void addressEntered(int row) = 0;
  /// The confirm element was clicked for `row`; its result is not read yet.
  virtual void confirmClicked(int row) = 0;
  /// The outcome of `row` is written into the list (and the failed list).
  virtual void rowFinished(int row) = 0;
};

/// The parts of the program the page steps work on.
struct StepParts {
  AddressListModel* list = nullptr;
  FailedAddresses* failed = nullptr;
  ShareSettings* settings = nullptr;
  StepReport* report = nullptr;
  /// The page the steps work (it must outlive them); null: no page.
  SitePage* page = nullptr;
};

/// How one step of the share flow ended.
enum class StepOutcome {
  Done,     // the step ran; the iteration goes on
  NoRow,    // every remaining address was refused as wrong: nothing to publish
  Stopped,  // the pass has to end (engine gone or stop requested)
};

/// The five page steps that publish one address through the share site's
/// pages, as a user would: open the start page, open the share dialog, enter
/// the address (skipping addresses the site calls wrong), confirm with an
/// optional random comment, and read the outcome back into the list. Each
/// step makes its own page objects and drops them before it returns.
class PageSteps {
 public:
  PageSteps(StepParts parts, const SiteProfile& profile, PassCursor& cursor,
            std::shared_ptr<RunContext> context);

  /// Step 1: navigate to the start page, wait 4 s and until it has loaded
  /// (at most 60 s, scaled like every designed wait), then click link 2,
  /// unless the page is the site's login form or could not be loaded
  /// (startPageState() tells which).
  StepOutcome openStartPage();
  /// What step 1 found: the start page, the login form or an error page.
  SiteState startPageState() const { return startPageState_; }
  /// Whether step 5 found one of the profile's mute marks instead of "成功":
  /// the row was then left without a result.
  bool lastResultMuted() const { return lastResultMuted_; }
  /// Whether step 5 found "成功" for the row.
  bool lastResultShared() const { return lastResultShared_; }
  /// Step 2: click the first link whose text contains "分享宝贝".
  void openShareDialog();
  /// Step 3: progress text, the address of the pass's next row into text
  /// box 2, button 2, 2 s, then the wrong-link check; a wrong address is
  /// marked "地址错误" and the next row goes into the same page.
  StepOutcome enterAddress();
  /// Step 4 (with step 5 at its end): the optional comment, the confirm
  /// element, 1.6 s, then the result check. Once the confirm is clicked the
  /// result is read even when a stop was requested meanwhile.
  StepOutcome publish();
  /// Step 5: "成功" on the page marks the row "成功" with the time; anything
  /// else marks it "失败" and records the address as failed. After a stop
  /// request a page that gives no answer leaves the row "未确认".
  void checkResult();
  /// The result of the row whose confirm was clicked cannot be read (the
  /// pass is ending, or a stopped pass found no answer on the page): it may
  /// have been shared, so it is "未确认", never "失败".
  void markUnconfirmed();

  /// The progress text for the 1-based row number: "正在分享第1个地址".
  static QString progressText(std::int64_t rowNumber);
  /// The publish-time text for now, local time: "2026-12-08 19:03:05".
  static QString publishTimeNow();

  /// The status of a row whose confirm was clicked but whose result was
  /// never read (a pass cut off by a crash): it may have been shared, so no
  /// pass shares it again by itself.
  static QString unconfirmedStatus();
  /// The pass's next row: the first from the cursor's place on that is
  /// still in the list, not done in this pass and not marked unconfirmed
  /// (it may have been shared: no pass shares it again by itself). Moves
  /// the place up to it; 0 when the pass has no row left.
  RowKey nextRow();
  /// The list position of the row being worked on (-1 when gone).
  int currentPosition() const;
  /// The page the steps work now.
  SitePage& page() { return parts_.page ? *parts_.page : *noPage_; }
  const StepParts& parts() const { return parts_; }

 private:
  bool pause(std::int64_t microseconds, bool finishing = false) const {
    return pauseFor(context_, microseconds, finishing);
  }
  QString pickComment();
  std::int32_t& failedCount();

  StepParts parts_;
  SiteProfile profile_;
  PassCursor& cursor_;
  std::shared_ptr<RunContext> context_;
  std::mt19937 random_;
  std::unique_ptr<SitePage> noPage_;
  SiteState startPageState_ = SiteState::Usable;
  bool lastResultMuted_ = false;
  bool lastResultShared_ = false;
};

}  // namespace quillet
