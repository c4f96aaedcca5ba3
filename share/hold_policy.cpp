#include "share/hold_policy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
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

// Keys of the saved state.
constexpr char kMuteHolds[] = "muteHolds";
constexpr char kFailed[] = "failedInARow";
constexpr char kTriedAgain[] = "triedAgain";
constexpr char kOutage[] = "outage";
constexpr char kProbes[] = "probesWaited";
constexpr char kWaited[] = "outageWaitedMs";
constexpr char kLastWait[] = "lastWaitMs";
// Beyond these the saved text is not one the policy wrote.
constexpr qint64 kMaxSavedCount = 1'000'000;
constexpr qint64 kMaxSavedMs = 1'000LL * 60 * 60 * 24 * 366;
// Row keys pass through JSON numbers (doubles): exact up to 2^53.
constexpr qint64 kMaxExactKey = 1LL << 53;

QJsonArray keysArray(const QList<qint64>& keys) {
  QJsonArray array;
  for (const qint64 key : keys) array.append(static_cast<double>(key));
  return array;
}

// A whole number in [low, high], else nothing.
std::optional<qint64> wholeIn(const QJsonValue& value, qint64 low, qint64 high) {
  if (!value.isDouble()) return std::nullopt;
  const double number = value.toDouble();
  if (!(number >= static_cast<double>(low) && number <= static_cast<double>(high)) ||
      number != std::floor(number)) {
    return std::nullopt;
  }
  return static_cast<qint64>(number);
}

std::optional<QList<qint64>> keysOf(const QJsonValue& value) {
  if (!value.isArray()) return std::nullopt;
  const QJsonArray array = value.toArray();
  if (array.size() > kMaxSavedCount) return std::nullopt;
  QList<qint64> keys;
  for (const QJsonValue& each : array) {
    const auto key = wholeIn(each, -kMaxExactKey, kMaxExactKey);
    if (!key) return std::nullopt;
    keys << *key;
  }
  return keys;
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

QByteArray HoldPolicy::saved() const {
  QList<qint64> triedAgain = triedAgain_.values();
  std::sort(triedAgain.begin(), triedAgain.end());
  QJsonObject state;
  state.insert(QLatin1String(kMuteHolds), muteHolds_);
  state.insert(QLatin1String(kFailed), keysArray(failedInARow_));
  state.insert(QLatin1String(kTriedAgain), keysArray(triedAgain));
  state.insert(QLatin1String(kOutage), outage_);
  state.insert(QLatin1String(kProbes), probesWaited_);
  state.insert(QLatin1String(kWaited), static_cast<double>(outageWaited_.count()));
  state.insert(QLatin1String(kLastWait), static_cast<double>(lastWait_.count()));
  return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

std::optional<HoldPolicy> HoldPolicy::restored(HoldSettings settings, const QByteArray& saved) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(saved, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  const QJsonObject state = document.object();
  const auto muteHolds = wholeIn(state.value(QLatin1String(kMuteHolds)), 0, kMaxSavedCount);
  const auto failed = keysOf(state.value(QLatin1String(kFailed)));
  const auto triedAgain = keysOf(state.value(QLatin1String(kTriedAgain)));
  const QJsonValue outage = state.value(QLatin1String(kOutage));
  const auto probes = wholeIn(state.value(QLatin1String(kProbes)), 0, kMaxSavedCount);
  const auto waited = wholeIn(state.value(QLatin1String(kWaited)), 0, kMaxSavedMs);
  const auto lastWait = wholeIn(state.value(QLatin1String(kLastWait)), 0, kMaxSavedMs);
  if (!muteHolds || !failed || failed->size() >= kFailuresCountedAsMute || !triedAgain ||
      !outage.isBool() || !probes || !waited || !lastWait) {
    return std::nullopt;
  }
  HoldPolicy policy(std::move(settings));
  policy.muteHolds_ = static_cast<int>(*muteHolds);
  policy.failedInARow_ = *failed;
  for (const qint64 key : *triedAgain) policy.triedAgain_.insert(key);
  policy.outage_ = outage.toBool();
  policy.probesWaited_ = static_cast<int>(*probes);
  policy.outageWaited_ = milliseconds{*waited};
  policy.lastWait_ = milliseconds{*lastWait};
  return policy;
}

bool showsMuteMark(const QString& pageText, const QStringList& muteMarks) {
  return std::any_of(muteMarks.begin(), muteMarks.end(), [&](const QString& mark) {
    return !mark.isEmpty() && pageText.contains(mark);
  });
}

milliseconds scaledHoldWait(milliseconds wait) {
  return std::chrono::duration_cast<milliseconds>(
      std::chrono::microseconds{scaledMicros(wait.count() * 1000)});
}

milliseconds unscaledHoldWait(milliseconds real) {
  return milliseconds{std::llround(static_cast<double>(real.count()) / timeScale())};
}

}  // namespace quillet
