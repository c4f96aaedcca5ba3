#include "share/share_engine.h"

#include <cmath>

#include "share/address_import.h"
#include "share/address_list_model.h"
#include "share/designed_waits.h"
#include "share/discard_question.h"
#include "share/share_settings.h"

namespace quillet {

// Passes what the page steps report on to the engine's signals.
class ShareEngine::Report : public StepReport, public HoldReport {
 public:
  explicit Report(ShareEngine& engine) : engine_(engine) {}
  void progress(const QString& text) override { engine_.showProgress(text); }
  void commentChosen(int index) override { Q_EMIT engine_.commentChosen(index); }
  void addressEntered(int row) override {
    Q_EMIT engine_.addressEntered(row);
    Q_EMIT engine_.runStateChanged();
  }
  void confirmClicked(int row) override { Q_EMIT engine_.confirmClicked(row); }
  void rowFinished(int row) override {
    Q_EMIT engine_.rowFinished(row);
    Q_EMIT engine_.runStateChanged();
  }
  void holdStarted(const JournalHold& hold) override {
    Q_EMIT engine_.holdChanged();
    Q_EMIT engine_.holdStarted(hold);
  }
  void holdEnded(const JournalHold& hold) override {
    Q_EMIT engine_.holdChanged();
    Q_EMIT engine_.holdEnded(hold);
  }
  void rowReleased(int row) override {
    Q_EMIT engine_.rowReleased(row);
    Q_EMIT engine_.runStateChanged();
  }
  void holdText(const QString& text) override { engine_.showProgress(text); }

 private:
  ShareEngine& engine_;
};

ShareEngine::ShareEngine(AddressListModel& list, ShareSettings& settings, SitePage* page,
                         SiteProfile profile, QObject* parent)
    : QObject(parent),
      list_(list),
      settings_(settings),
      profile_(std::move(profile)),
      context_(std::make_shared<RunContext>()),
      report_(std::make_unique<Report>(*this)),
      steps_(StepParts{&list_, &failed_, &settings_, report_.get(), page}, profile_, cursor_,
             context_),
      holds_(std::make_unique<SiteHolds>(
          SiteHolds::Parts{&list_, &failed_, &cursor_, &steps_, report_.get()}, profile_,
          context_)) {
  // The engine's own wait: pause and stop cut it short, and a wait cut short
  // because the application is quitting ends the pass rather than racing
  // through the remaining rows.
  setWaitFunction(nullptr);
}

ShareEngine::~ShareEngine() {
  // A pass may still be waiting further up the stack; it sees this and ends.
  context_->alive = false;
  if (context_->interrupt) context_->interrupt();
}

QString ShareEngine::finishedText() {
  return QStringLiteral("发布完毕");
}
QString ShareEngine::busyPublishText() {
  return QStringLiteral("正在分享中，本轮“发布完毕”后才能再次发表");
}
QString ShareEngine::busyResendText() {
  return QStringLiteral("正在分享中，本轮“发布完毕”后才能失败重发");
}
QString ShareEngine::pausedText() {
  return QStringLiteral("已暂停");
}
QString ShareEngine::stoppedText() {
  return QStringLiteral("已停止");
}
QString ShareEngine::finishedWithNewRowsText(int newRows) {
  return QStringLiteral("发布完毕。本轮之后加入的%1个地址不在本轮中，按“发表”分享它们")
      .arg(newRows);
}

void ShareEngine::showProgress(const QString& text) {
  lastProgress_ = text;
  // While paused the status bar keeps saying so; the text returns on resume.
  if (!context_->paused) Q_EMIT progressText(text);
}

void ShareEngine::resetRunState() {
  if (running_) return;
  cursor_ = PassCursor{};
  Q_EMIT runStateChanged();
}

void ShareEngine::setPass(const JournalPass& pass) {
  if (running_) return;
  cursor_ = PassCursor{};
  cursor_.pass = pass;
  Q_EMIT runStateChanged();
}

void ShareEngine::setPassKey(PassKey key) {
  if (cursor_.pass) cursor_.pass->key = key;
}

std::int32_t ShareEngine::currentRow() const {
  if (!cursor_.pass) return 0;
  if (running_ && cursor_.current != 0) {
    // Once a row's address is in, the place is the row after it.
    const int row = list_.rowOf(cursor_.current);
    if (row >= 0) return row + 1;
  }
  if (!running_ && cursor_.pass->state == PassState::Finished) return 0;
  // The row the pass goes on with.
  PassCursor probe = cursor_;
  PageSteps steps(StepParts{&list_, nullptr, nullptr, nullptr, nullptr}, profile_, probe, context_);
  const RowKey next = steps.nextRow();
  return next == 0 ? list_.rowCountInt() : list_.rowOf(next);
}

bool ShareEngine::passHasRowLeft() const {
  if (!cursor_.pass) return false;
  PassCursor probe = cursor_;
  PageSteps steps(StepParts{&list_, nullptr, nullptr, nullptr, nullptr}, profile_, probe, context_);
  return steps.nextRow() != 0;
}

PassSettings ShareEngine::currentSettings() const {
  PassSettings settings;
  settings.periodSeconds = settings_.period().value_or(0.0);
  settings.loop = settings_.loopSharing();
  settings.comment = settings_.addComment();
  settings.jitterSeconds = settings_.jitterSeconds();
  return settings;
}

JournalPass ShareEngine::newPass(PassKind kind, int firstRow) {
  JournalPass pass;
  pass.kind = kind;
  pass.state = PassState::Running;
  pass.sourceFile = sourceFile_;
  pass.rows = list_.keys(firstRow, list_.rowCountInt() - firstRow);
  for (int row = 0; row < list_.rowCountInt(); ++row)
    pass.lastKeyAtStart = std::max(pass.lastKeyAtStart, list_.keyAt(row));
  return pass;
}

int ShareEngine::rowsLeftForNextPass() const {
  if (!cursor_.pass) return 0;
  int count = 0;
  for (int row = 0; row < list_.rowCountInt(); ++row)
    if (list_.keyAt(row) > cursor_.pass->lastKeyAtStart) ++count;
  return count;
}

void ShareEngine::setWaitFunction(std::function<void(std::int32_t)> wait) {
  holds_->setWaitFunction(wait);
  if (!wait) {
    RunContext* context = context_.get();
    context_->wait = [context](std::int32_t micros) { return interruptibleWait(*context, micros); };
    return;
  }
  context_->wait = [wait = std::move(wait)](std::int32_t micros) -> std::int64_t {
    wait(micros);
    return 0;
  };
}

void ShareEngine::signedIn() {
  holds_->signedIn();
}

void ShareEngine::setEndWhenSignedOut(bool end) {
  holds_->setEndWhenSignedOut(end);
}

HoldEnding ShareEngine::holdEnding() const {
  return holds_->ending();
}

void ShareEngine::pause() {
  if (!running_ || context_->paused) return;
  context_->paused = true;
  Q_EMIT progressText(pausedText());
  Q_EMIT pausedChanged(true);
  if (context_->interrupt) context_->interrupt();
}

void ShareEngine::resume() {
  if (!context_->paused) return;
  context_->paused = false;
  if (running_ && !lastProgress_.isEmpty()) Q_EMIT progressText(lastProgress_);
  Q_EMIT pausedChanged(false);
  if (context_->interrupt) context_->interrupt();
}

void ShareEngine::requestStop() {
  if (!running_) return;
  context_->stopRequested = true;
  if (context_->interrupt) context_->interrupt();
}

std::int64_t ShareEngine::pacingMicros(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  const double micros = seconds * 1000000.0 - static_cast<double>(kPacingFreePeriodMicros);
  if (micros <= 0.0) return 0;
  // Far beyond any sensible period, but never past what the type holds.
  constexpr double kLongest = 9.0e18;
  return static_cast<std::int64_t>(std::min(micros, kLongest));
}

ImportResult ShareEngine::importFile(const QString& path) {
  ImportResult result;
  if (!path.isEmpty()) {
    result = importAddressFile(list_, path);
    if (result.failure) Q_EMIT importFailed(*result.failure);
  }
  Q_EMIT importedText(quillet::importedText(list_.rowCountInt(), result.blankLines));
  return result;
}

bool ShareEngine::startAllowed() {
  const std::optional<double> period = settings_.period();
  const bool allowed =
      list_.rowCountInt() > 0 && period.has_value() && !(*period - 21.0 < -0.0000001);
  if (!allowed) {
    settings_.focusPeriod();
    Q_EMIT refused(Refusal::NothingToShare);
  }
  return allowed;
}

void ShareEngine::publish() {
  if (running_) {
    // A pass inside the running one would share its place and enter rows
    // twice or skip them: say so and leave the running pass alone.
    Q_EMIT progressText(busyPublishText());
    return;
  }
  // A pass that was stopped or interrupted goes on with its own rows. One
  // whose rows are all gone (deleted, the list cleared) is over: after a
  // restart it would come back finished, and 发表 means the same either way.
  if (cursor_.pass && cursor_.pass->state != PassState::Finished && passHasRowLeft()) {
    run(std::nullopt);
    return;
  }
  run(newPass(PassKind::Publish, 0));
}

void ShareEngine::startAt(int row) {
  if (running_) {
    Q_EMIT progressText(busyPublishText());
    return;
  }
  if (row < 0 || row >= list_.rowCountInt()) return;
  run(newPass(PassKind::FromRow, row));
}

void ShareEngine::markFinished() {
  if (!cursor_.pass || cursor_.pass->state == PassState::Finished) return;
  cursor_.pass->state = PassState::Finished;
  Q_EMIT runStateChanged();
}

void ShareEngine::run(std::optional<JournalPass> fresh) {
  if (!startAllowed()) {
    Q_EMIT runEnded();
    return;
  }
  running_ = true;
  holds_->clearEnding();
  context_->stopRequested = false;
  context_->paused = false;
  const std::shared_ptr<RunContext> context = context_;
  if (fresh) {
    cursor_ = PassCursor{};
    cursor_.pass = std::move(*fresh);
    holds_->reset();
  }
  continuing_ = !fresh.has_value();
  bool ended = false;
  for (bool first = true; first || startAllowed(); first = false) {
    if (!first) {
      // The next round is a pass of its own over the whole list as it is now.
      cursor_ = PassCursor{};
      cursor_.pass = newPass(PassKind::Publish, 0);
      continuing_ = false;
      holds_->reset();
    }
    cursor_.current = 0;
    cursor_.pass->state = PassState::Running;
    // The pass runs with these settings, read once here as typed values and
    // kept with it: a pass that goes on later has them back.
    cursor_.pass->settings = currentSettings();
    Q_EMIT passStarted(currentRow());
    if (!context->alive) return;
    if (!runPass(context)) {
      ended = true;
      break;
    }
    markFinished();
    const int newRows = continuing_ ? rowsLeftForNextPass() : 0;
    Q_EMIT progressText(newRows > 0 ? finishedWithNewRowsText(newRows) : finishedText());
    lastProgress_.clear();
    Q_EMIT passEnded(true);
    Q_EMIT passFinished();
    if (!context->alive) return;
    takeSettingsChanges();
    if (!cursor_.pass->settings.loop) break;
    list_.clearColumn(AddressListModel::StatusColumn);
  }
  if (!context->alive) return;  // the engine went away during the last wait
  if (ended) {
    const bool userStop = context->stopRequested && !context->quitting;
    if (userStop) {
      // The pass is kept: "发表" goes on with its rows that are not done
      // (one stopped in the wait after its last row is finished already).
      if (cursor_.pass->state != PassState::Finished) cursor_.pass->state = PassState::Stopped;
      Q_EMIT progressText(stoppedText());
    }
    // Otherwise (quitting) it stays under way: the next start offers it.
    Q_EMIT runStateChanged();
    Q_EMIT passEnded(false);
  }
  running_ = false;
  cursor_.current = 0;
  context->stopRequested = false;
  if (context->paused) {
    context->paused = false;
    Q_EMIT pausedChanged(false);
  }
  lastProgress_.clear();
  Q_EMIT runEnded();
}

void ShareEngine::takeSettingsChanges() {
  if (!cursor_.pass) return;
  PassSettings settings = currentSettings();
  // A field that holds no number (half typed, say) leaves the pass's period
  // as it is; any number is taken as it stands, as the pass reads it.
  if (!settings_.period()) settings.periodSeconds = cursor_.pass->settings.periodSeconds;
  if (settings == cursor_.pass->settings) return;
  cursor_.pass->settings = settings;
  Q_EMIT runStateChanged();
}

bool ShareEngine::runPass(const std::shared_ptr<RunContext>& context) {
  // A hold the pass was in when it stopped (or the program ended) goes on.
  if (holds_->resume() == HoldStep::End) return false;
  // The site as a whole decides before each row and after each page of it:
  // signed out, muted or down, the pass holds at the row with nothing marked
  // and takes it again from its first step afterwards.
  const auto siteHolds = [&](SiteState state) {
    const HoldStep step = holds_->checkPage(state);
    return step == HoldStep::Go ? 0 : step == HoldStep::Again ? 1 : -1;
  };
  for (;;) {
    if (steps_.nextRow() == 0) return true;
    // A setting changed during the pass takes effect from the next row on
    // (the comment) or at the next final wait (the period).
    takeSettingsChanges();
    if (steps_.openStartPage() == StepOutcome::Stopped) return false;
    if (const int held = siteHolds(steps_.startPageState())) {
      if (held < 0) return false;
      continue;
    }
    if (!pauseFor(context, RowWaits::kStartLink)) return false;
    if (const int held = siteHolds(steps_.page().siteState())) {
      if (held < 0) return false;
      continue;
    }
    steps_.openShareDialog();
    if (!pauseFor(context, RowWaits::kShareDialog)) return false;
    const StepOutcome entered = steps_.enterAddress();
    if (entered == StepOutcome::Stopped) return false;
    if (entered == StepOutcome::NoRow) continue;  // the test at the top ends the pass
    // Entered but never confirmed: the row is not done in this pass.
    if (!pauseFor(context, RowWaits::kBeforeConfirm)) return false;
    if (const int held = siteHolds(steps_.page().siteState())) {
      if (held < 0) return false;
      continue;
    }
    const RowKey row = cursor_.current;
    if (steps_.publish() == StepOutcome::Stopped) return false;
    // A stop ends the pass at the row's result: the site is not looked at.
    const bool stopping = context->mustEnd();
    if (!stopping && !steps_.lastResultShared() && !steps_.lastResultMuted() &&
        steps_.currentPosition() >= 0) {
      // A failed step may be the site's doing: the page it left tells.
      if (const int held = siteHolds(steps_.page().siteState())) {
        if (held < 0) return false;
        continue;
      }
    }
    // A row that went away meanwhile has no result to count.
    const HoldStep afterRow =
        stopping || steps_.currentPosition() < 0
            ? HoldStep::Go
            : holds_->afterResult(row, steps_.lastResultShared(), steps_.lastResultMuted());
    switch (afterRow) {
      case HoldStep::Go:
        break;
      case HoldStep::Again:
        continue;
      case HoldStep::End:
        return false;
    }
    // The pass is finished when its last row's outcome is recorded, not
    // after the wait that follows.
    if (steps_.nextRow() == 0) markFinished();
    if (context->mustEnd()) return false;  // stopped: the row is recorded, end here
    // The period is read again: a change takes effect here, without checks.
    takeSettingsChanges();
    const std::int64_t pacing = pacingMicros(cursor_.pass->settings.periodSeconds) +
                                std::max<std::int64_t>(0, settings_.pacingJitterMicros());
    if (!pauseFor(context, pacing)) return false;
  }
}

void ShareEngine::resend(const std::function<bool(int rowsWithResults)>& mayDiscard) {
  if (running_) {
    Q_EMIT progressText(busyResendText());
    return;
  }
  const QStringList addresses = failed_.addresses();
  if (addresses.isEmpty()) {
    Q_EMIT refused(Refusal::NoFailures);
    return;
  }
  if (!mayDiscardResults(list_, mayDiscard)) return;
  list_.clear();
  Q_EMIT importedText(quillet::importedText(static_cast<int>(addresses.size())));
  list_.insertRows(0, addresses);
  run(newPass(PassKind::Resend, 0));
}

}  // namespace quillet
