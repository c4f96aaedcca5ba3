#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <optional>

#include "site/site_profile.h"

namespace quillet {

/// Why a pass holds: the site turns every share away for a while (the account
/// is muted), or its pages cannot be loaded at all (the site or the network is
/// down).
enum class HoldReason { None, Muted, SiteDown };

/// What the pass does after an event.
enum class HoldAction {
  Go,      ///< go on as usual (record the row's outcome, take the next row)
  Hold,    ///< wait `wait`, then see the decision's other fields
  GiveUp,  ///< the site stayed unreachable past the limit: stop as interrupted
};

struct HoldDecision {
  HoldAction action = HoldAction::Go;
  HoldReason reason = HoldReason::None;
  /// How long to wait, unscaled (scaledHoldWait gives the real wait).
  std::chrono::milliseconds wait{0};
  /// After a mute hold: the rows to try again, in this order, before going on.
  /// Their failures so far are not final.
  QList<qint64> retryRows;
  /// After a site-down hold: load the start page and report probeSucceeded or
  /// probeFailed; the row at hand is taken up again once it loads, unless its
  /// confirm was already clicked (it stays unconfirmed, never sent twice).
  bool probe = false;

  bool operator==(const HoldDecision&) const = default;
};

/// The hold lengths the policy works with, from the site profile.
struct HoldSettings {
  QList<std::chrono::milliseconds> muteHolds;  ///< one for each hold in a row; the last repeats
  std::chrono::milliseconds outageGiveUp{0};   ///< total wait for a site that stays down

  static HoldSettings fromProfile(const SiteProfile& profile);
};

/// Decides, from what happened to the rows of a pass, when the whole site is
/// in a state where no row can succeed, and how long the pass holds then.
/// Pure logic: no clock and no timers; the caller waits and reports back.
///
/// Muted: a mute notice holds the pass (each hold in a row takes the next of
/// the profile's lengths, the last repeats) and the same row is tried again.
/// Three rows in a row that fail without a notice count as a mute too: hold,
/// then those rows are tried again, once each; their failures after that are
/// final and start no new count. A success ends the run of holds.
///
/// Down: a page that cannot be loaded starts an outage; the start page is
/// probed after 30 s, then 1, 2, 5, 5, ... minutes, the last wait cut so that
/// the final probe falls on the limit; a failed probe at the limit gives up.
/// A probe that loads ends the outage.
class HoldPolicy {
 public:
  /// The waits between probes of a site that is down; the last repeats.
  static const QList<std::chrono::milliseconds>& outageProbeWaits();
  /// Failures in a row, without a notice, that count as a mute.
  static constexpr int kFailuresCountedAsMute = 3;

  explicit HoldPolicy(HoldSettings settings);

  /// The share of `row` went through.
  HoldDecision rowSucceeded(qint64 row);
  /// The page after the confirm of `row` showed one of the profile's mute marks.
  HoldDecision muteNoticeSeen(qint64 row);
  /// `row` failed without a mute notice (a wrong address is no failure here:
  /// it says nothing about the site and is not reported).
  HoldDecision rowFailed(qint64 row);
  /// The start page or a step's page could not be loaded (refused, reset,
  /// name not found, timed out).
  HoldDecision pageLoadFailed();
  /// The probe after a site-down hold loaded the start page.
  HoldDecision probeSucceeded();
  /// The probe failed; `spent` is the time the probe itself took, unscaled
  /// (unscaledHoldWait of the real time), counted against the limit.
  HoldDecision probeFailed(std::chrono::milliseconds spent = std::chrono::milliseconds{0});

  /// Everything the policy has learnt so far, as a small JSON text: kept with
  /// a hold, so that a pass restarted after a crash goes on with the same run
  /// of holds and the same outage.
  QByteArray saved() const;
  /// A policy that goes on from `saved`, or nothing when the text is not one
  /// that saved() writes (the caller then starts afresh).
  static std::optional<HoldPolicy> restored(HoldSettings settings, const QByteArray& saved);

  /// Mute holds in a row so far (0 after a success).
  int muteHoldsInARow() const { return muteHolds_; }
  bool siteDown() const { return outage_; }
  /// The time waited for the site so far in the current outage, unscaled.
  std::chrono::milliseconds outageWaited() const { return outageWaited_; }

 private:
  HoldDecision muteHold(QList<qint64> retryRows);
  HoldDecision nextProbe();

  HoldSettings settings_;
  int muteHolds_ = 0;
  QList<qint64> failedInARow_;
  QSet<qint64> triedAgain_;  // rows given their one more try after a counted mute
  bool outage_ = false;
  int probesWaited_ = 0;
  std::chrono::milliseconds outageWaited_{0};
  std::chrono::milliseconds lastWait_{0};
};

/// Whether the page text after a confirm shows one of the profile's mute marks.
bool showsMuteMark(const QString& pageText, const QStringList& muteMarks);

/// A hold's wait as the pass really waits it: multiplied by QUILLET_TIME_SCALE,
/// as every designed wait is.
std::chrono::milliseconds scaledHoldWait(std::chrono::milliseconds wait);
/// The inverse: a real time span in the policy's unscaled terms.
std::chrono::milliseconds unscaledHoldWait(std::chrono::milliseconds real);

}  // namespace quillet
