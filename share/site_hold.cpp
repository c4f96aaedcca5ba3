#include "share/site_hold.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "share/address_list_model.h"
#include "share/designed_waits.h"
#include "share/failed_addresses.h"
#include "share/page_steps.h"
#include "site/pump_wait.h"
#include "site/time_scale.h"

namespace quillet {
namespace {

using std::chrono::milliseconds;

qint64 nowMs() {
  return QDateTime::currentMSecsSinceEpoch();
}

// The longest a sign-in is waited for in one piece; the wait goes on after it.
constexpr std::int64_t kSignInWaitPieceMicros = 60'000'000;
constexpr qint64 kLongestWaitMicros = std::numeric_limits<std::int32_t>::max();

}  // namespace

HoldReport::~HoldReport() = default;

QString holdReasonText(HoldKind kind) {
  switch (kind) {
    case HoldKind::SignedOut:
      return QStringLiteral("登录已失效");
    case HoldKind::Muted:
      return QStringLiteral("账号被限制");
    case HoldKind::SiteDown:
      return QStringLiteral("网站无法访问");
  }
  return {};
}

QString holdReasonKey(HoldKind kind) {
  switch (kind) {
    case HoldKind::SignedOut:
      return QStringLiteral("signedOut");
    case HoldKind::Muted:
      return QStringLiteral("muted");
    case HoldKind::SiteDown:
      return QStringLiteral("siteDown");
  }
  return {};
}

QString holdUntilText(const JournalHold& hold) {
  if (hold.untilMs <= 0) return {};
  return QDateTime::fromMSecsSinceEpoch(hold.untilMs)
      .toLocalTime()
      .toString(QStringLiteral("HH:mm"));
}

QString holdStatusText(const JournalHold& hold, int rowNumber) {
  const QString reason = holdReasonText(hold.kind);
  if (hold.kind == HoldKind::SignedOut) {
    return QStringLiteral("%1：分享停在第%2个地址，等待重新登录").arg(reason).arg(rowNumber);
  }
  return QStringLiteral("%1：暂停到%2，然后从第%3个地址继续")
      .arg(reason, holdUntilText(hold))
      .arg(rowNumber);
}

QString holdTitleText(const JournalHold& hold) {
  const QString when = hold.kind == HoldKind::SignedOut
                           ? QStringLiteral("等待登录")
                           : QStringLiteral("暂停到") + holdUntilText(hold);
  return QStringLiteral("Quillet - %1 - %2").arg(when, holdReasonText(hold.kind));
}

QString siteGivenUpText(int rowNumber) {
  return QStringLiteral("网站一直无法访问，分享在第%1个地址中断").arg(rowNumber);
}

SiteHolds::SiteHolds(Parts parts, const SiteProfile& profile, std::shared_ptr<RunContext> context)
    : parts_(parts),
      profile_(profile),
      context_(std::move(context)),
      policy_(HoldSettings::fromProfile(profile_)) {}

void SiteHolds::reset() {
  policy_ = HoldPolicy(HoldSettings::fromProfile(profile_));
  signedIn_ = false;
}

void SiteHolds::signedIn() {
  signedIn_ = true;
  if (context_->interrupt) context_->interrupt();
}

RowKey SiteHolds::holdRow() const {
  PassCursor probe = *parts_.cursor;
  PageSteps steps(StepParts{parts_.list, nullptr, nullptr, nullptr, nullptr}, profile_, probe,
                  context_);
  return steps.nextRow();
}

int SiteHolds::rowNumber(RowKey row) const {
  const int position = row == 0 ? -1 : parts_.list->rowOf(row);
  return position < 0 ? parts_.list->rowCountInt() : position + 1;
}

void SiteHolds::begin(JournalHold hold) {
  hold.policy = policy_.saved();
  hold.row = holdRow();
  parts_.cursor->pass->hold = hold;
  parts_.report->holdStarted(hold);
  parts_.report->holdText(holdStatusText(hold, rowNumber(hold.row)));
}

void SiteHolds::end() {
  if (!parts_.cursor->pass || !parts_.cursor->pass->hold) return;
  const JournalHold hold = *parts_.cursor->pass->hold;
  parts_.cursor->pass->hold.reset();
  parts_.report->holdEnded(hold);
  // The status bar no longer says the pass waits.
  parts_.report->holdText(PageSteps::progressText(rowNumber(holdRow())));
}

bool SiteHolds::waitUntil(qint64 untilMs) {
  const std::shared_ptr<RunContext> keep = context_;
  for (;;) {
    if (!holdWhilePaused(keep)) return false;
    const qint64 left = untilMs - nowMs();
    if (left <= 0) return true;
    if (wait_) {
      wait_(static_cast<std::int32_t>(std::min<qint64>(left * 1000, kLongestWaitMicros)));
      return !keep->mustEnd();
    }
    constexpr qint64 kLongestMs = std::numeric_limits<std::int32_t>::max() / 1000;
    const WaitEnd end = pumpWaitInterruptible(std::min(left, kLongestMs) * 1000, keep->interrupt);
    if (end == WaitEnd::Quitting) keep->quitting = true;
    if (keep->mustEnd()) return false;
  }
}

bool SiteHolds::waitForSignIn() {
  const std::shared_ptr<RunContext> keep = context_;
  while (!signedIn_) {
    if (!holdWhilePaused(keep)) return false;
    if (signedIn_) break;
    const WaitEnd end = pumpWaitInterruptible(kSignInWaitPieceMicros, keep->interrupt);
    if (end == WaitEnd::Quitting) keep->quitting = true;
    if (keep->mustEnd()) return false;
  }
  return true;
}

HoldStep SiteHolds::resume() {
  if (!parts_.cursor->pass || !parts_.cursor->pass->hold) return HoldStep::Go;
  const JournalHold hold = *parts_.cursor->pass->hold;
  if (auto restored = HoldPolicy::restored(HoldSettings::fromProfile(profile_), hold.policy)) {
    policy_ = std::move(*restored);
  }
  // The rows a mute hold tries again were released before it began; the
  // place goes back to the first of them.
  if (!hold.retryRows.isEmpty()) {
    JournalPass& pass = *parts_.cursor->pass;
    for (const RowKey key : hold.retryRows) {
      pass.done.remove(key);
      const auto at = pass.rows.indexOf(key);
      if (at >= 0) parts_.cursor->place = std::min<int>(parts_.cursor->place, int(at));
    }
  }
  switch (hold.kind) {
    case HoldKind::SignedOut:
      // Whoever goes on signed in first (the window's 登录, the terminal's
      // session check); the start page tells if not.
      end();
      return HoldStep::Again;
    case HoldKind::Muted:
      parts_.report->holdStarted(hold);
      parts_.report->holdText(holdStatusText(hold, rowNumber(hold.row)));
      if (!waitUntil(hold.untilMs)) return HoldStep::End;
      end();
      return HoldStep::Again;
    case HoldKind::SiteDown: {
      parts_.report->holdStarted(hold);
      parts_.report->holdText(holdStatusText(hold, rowNumber(hold.row)));
      if (!waitUntil(hold.untilMs)) return HoldStep::End;
      HoldDecision probe;
      probe.action = HoldAction::Hold;
      probe.reason = HoldReason::SiteDown;
      probe.probe = true;
      return outageHold(probe);
    }
  }
  return HoldStep::Go;
}

HoldStep SiteHolds::checkPage(SiteState state) {
  switch (state) {
    case SiteState::Usable:
      return HoldStep::Go;
    case SiteState::SignedOut:
      return signedOutHold();
    case SiteState::Down:
      return outageHold(policy_.pageLoadFailed());
  }
  return HoldStep::Go;
}

HoldStep SiteHolds::afterResult(RowKey row, bool shared, bool muted) {
  if (shared) {
    policy_.rowSucceeded(row);
    return HoldStep::Go;
  }
  if (muted) {
    release({row});
    return muteHold(policy_.muteNoticeSeen(row));
  }
  const HoldDecision decision = policy_.rowFailed(row);
  if (decision.action != HoldAction::Hold) return HoldStep::Go;
  release(decision.retryRows);
  return muteHold(decision);
}

void SiteHolds::release(const QList<qint64>& rows) {
  JournalPass& pass = *parts_.cursor->pass;
  for (const qint64 key : rows) {
    pass.done.remove(key);
    const auto at = pass.rows.indexOf(key);
    if (at >= 0) parts_.cursor->place = std::min<int>(parts_.cursor->place, int(at));
    const int row = parts_.list->rowOf(key);
    if (row < 0) continue;
    // A failure recorded for it is taken back: the site turned every share
    // away, the row has no result of its own yet.
    if (parts_.list->cell(row, AddressListModel::StatusColumn) == QStringLiteral("失败")) {
      parts_.failed->recordSuccess(parts_.list->cell(row), pass.failedCount);
      parts_.list->setCell(row, AddressListModel::StatusColumn, QString());
    }
    parts_.report->rowReleased(row);
  }
}

HoldStep SiteHolds::signedOutHold() {
  JournalHold hold;
  hold.kind = HoldKind::SignedOut;
  signedIn_ = false;
  begin(hold);
  if (endWhenSignedOut_) {
    ending_ = HoldEnding::SignedOut;
    return HoldStep::End;
  }
  if (!waitForSignIn()) return HoldStep::End;
  signedIn_ = false;
  end();
  return HoldStep::Again;
}

HoldStep SiteHolds::muteHold(const HoldDecision& decision) {
  JournalHold hold;
  hold.kind = HoldKind::Muted;
  hold.untilMs = nowMs() + scaledHoldWait(decision.wait).count();
  hold.retryRows = decision.retryRows;
  begin(hold);
  if (!waitUntil(hold.untilMs)) return HoldStep::End;
  end();
  return HoldStep::Again;
}

HoldStep SiteHolds::outageHold(HoldDecision decision) {
  for (;;) {
    if (decision.action == HoldAction::GiveUp) {
      end();
      ending_ = HoldEnding::GaveUp;
      parts_.report->holdText(siteGivenUpText(rowNumber(holdRow())));
      return HoldStep::End;
    }
    if (decision.action != HoldAction::Hold) {
      end();
      return HoldStep::Again;
    }
    if (decision.wait.count() > 0) {
      JournalHold hold;
      hold.kind = HoldKind::SiteDown;
      hold.untilMs = nowMs() + scaledHoldWait(decision.wait).count();
      begin(hold);
      if (!waitUntil(hold.untilMs)) return HoldStep::End;
    }
    // The probe: the start page, as step 1 loads it.
    const auto started = std::chrono::steady_clock::now();
    SitePage& page = parts_.steps->page();
    page.navigate(profile_.logonUrl());
    const int limitMs =
        std::max(10, static_cast<int>(std::lround(kStartPageLoadLimitMs * timeScale())));
    page.waitUntilLoaded(limitMs);
    if (context_->mustEnd()) return HoldStep::End;
    const SiteState state = page.siteState();
    if (state == SiteState::Usable) {
      policy_.probeSucceeded();
      end();
      return HoldStep::Again;
    }
    if (state == SiteState::SignedOut) {
      policy_.probeSucceeded();
      end();
      return signedOutHold();
    }
    const auto spent =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - started);
    decision = policy_.probeFailed(unscaledHoldWait(spent));
  }
}

}  // namespace quillet
