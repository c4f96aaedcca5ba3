#include "share/hold_policy.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "site/time_scale.h"

namespace quillet {
namespace {

using std::chrono::milliseconds;

milliseconds fromMinutes(double minutes) {
  // The profile bounds minutes to a week; the guard keeps odd values harmless.
  if (!std::isfinite(minutes) || minutes <= 0) return milliseconds{0};
  return milliseconds{std::llround(std::min(minutes, 1e7) * 60000.0)};
}

}  // namespace

HoldSettings HoldSettings::fromProfile(const SiteProfile& profile) {
  HoldSettings settings;
  for (const double minutes : profile.muteHoldMinutes) {
    settings.muteHolds << fromMinutes(minutes);
  }
  settings.outageGiveUp = fromMinutes(profile.outageGiveUpMinutes);
  return settings;
}

const QList<milliseconds>& HoldPolicy::outageProbeWaits() {
  static const QList<milliseconds> waits{milliseconds{30'000}, milliseconds{60'000},
                                         milliseconds{120'000}, milliseconds{300'000}};
  return waits;
}

HoldPolicy::HoldPolicy(HoldSettings settings) : settings_(std::move(settings)) {
  // A profile always has at least one length; a caller that built the
  // settings by hand without one gets the built-in lengths.
  if (settings_.muteHolds.isEmpty()) {
    settings_.muteHolds = HoldSettings::fromProfile(SiteProfile{}).muteHolds;
  }
}

HoldDecision HoldPolicy::rowSucceeded(qint64 row) {
  muteHolds_ = 0;
  failedInARow_.clear();
  triedAgain_.remove(row);
  outage_ = false;
  return {};
}

HoldDecision HoldPolicy::muteNoticeSeen(qint64 row) {
  // The failures before a recognised notice stay the rows' own.
  failedInARow_.clear();
  return muteHold({row});
}

HoldDecision HoldPolicy::rowFailed(qint64 row) {
  // A row that failed again after its one more try has failed for good, and
  // says nothing new about the site.
  if (triedAgain_.remove(row)) return {};
  failedInARow_ << row;
  if (failedInARow_.size() < kFailuresCountedAsMute) return {};
  const QList<qint64> rows = std::exchange(failedInARow_, {});
  for (const qint64 each : rows) triedAgain_.insert(each);
  return muteHold(rows);
}

HoldDecision HoldPolicy::pageLoadFailed() {
  if (outage_) return probeFailed();
  outage_ = true;
  probesWaited_ = 0;
  outageWaited_ = milliseconds{0};
  lastWait_ = milliseconds{0};
  return nextProbe();
}

HoldDecision HoldPolicy::probeSucceeded() {
  outage_ = false;
  return {};
}

HoldDecision HoldPolicy::probeFailed(milliseconds spent) {
  if (!outage_) return pageLoadFailed();
  outageWaited_ += lastWait_ + std::max(spent, milliseconds{0});
  return nextProbe();
}

HoldDecision HoldPolicy::muteHold(QList<qint64> retryRows) {
  const auto& lengths = settings_.muteHolds;
  HoldDecision decision;
  decision.action = HoldAction::Hold;
  decision.reason = HoldReason::Muted;
  decision.wait = lengths[std::min<qsizetype>(muteHolds_, lengths.size() - 1)];
  decision.retryRows = std::move(retryRows);
  ++muteHolds_;
  return decision;
}

HoldDecision HoldPolicy::nextProbe() {
  HoldDecision decision;
  decision.reason = HoldReason::SiteDown;
  const milliseconds left = settings_.outageGiveUp - outageWaited_;
  if (left <= milliseconds{0}) {
    decision.action = HoldAction::GiveUp;
    outage_ = false;
    return decision;
  }
  const auto& waits = outageProbeWaits();
  decision.action = HoldAction::Hold;
  decision.wait = std::min(waits[std::min<qsizetype>(probesWaited_, waits.size() - 1)], left);
  decision.probe = true;
  ++probesWaited_;
  lastWait_ = decision.wait;
  return decision;
}

milliseconds scaledHoldWait(milliseconds wait) {
  return std::chrono::duration_cast<milliseconds>(
      std::chrono::microseconds{scaledMicros(wait.count() * 1000)});
}

milliseconds unscaledHoldWait(milliseconds real) {
  return milliseconds{std::llround(static_cast<double>(real.count()) / timeScale())};
}

}  // namespace quillet
