#include "share/share_engine.h"

#include <cmath>

#include "share/address_import.h"
#include "share/address_list_model.h"
#include "share/dialogs.h"
#include "share/discard_question.h"
#include "share/row_pacing.h"
#include "share/share_settings.h"

namespace quillet {

// Passes what the page steps report on to the engine's signals.
class ShareEngine::Report : public StepReport {
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

 private:
  ShareEngine& engine_;
};

namespace {

// The period text as a number of seconds (0 when empty or unreadable).
double periodSeconds(const QString& text) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  return ok ? value : 0.0;
}

}  // namespace

ShareEngine::ShareEngine(AddressListModel& list, ShareSettings& settings, QWidget* browserWindow,
                         SiteProfile profile, Dialogs& dialogs, QWidget* dialogParent,
                         QObject* parent)
    : QObject(parent),
      list_(list),
      settings_(settings),
      profile_(std::move(profile)),
      dialogs_(dialogs),
      dialogParent_(dialogParent),
      context_(std::make_shared<RunContext>()),
      report_(std::make_unique<Report>(*this)),
      steps_(StepParts{&list_, &failed_, &settings_, browserWindow, report_.get()}, profile_,
             state_, context_) {
  // The engine's own wait: pause and stop cut it short, and a wait cut short
  // because the application is quitting ends the pass rather than racing
  // through the remaining rows.
  setWaitFunction(nullptr);
  connect(&list_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { onRowsInserted(first, last); });
  connect(&list_, &QAbstractItemModel::rowsRemoved, this,
          [this](const QModelIndex&, int first, int last) { onRowsRemoved(first, last); });
}

ShareEngine::~ShareEngine() {
  // A pass may still be waiting further up the stack; it sees this and ends.
  context_->alive = false;
  if (context_->interrupt) context_->interrupt();
}

QString ShareEngine::refusalText() {
  return QStringLiteral("请先导入地址和设定周期（必须大于21秒，否则你的帐号可能会被禁言）");
}
QString ShareEngine::noFailuresText() {
  return QStringLiteral("没有发布失败的地址（地址错误的请更换地址）");
}
QString ShareEngine::noFailuresTitle() {
  return QStringLiteral("错误信息");
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

void ShareEngine::showProgress(const QString& text) {
  lastProgress_ = text;
  // While paused the status bar keeps saying so; the text returns on resume.
  if (!context_->paused) Q_EMIT progressText(text);
}

void ShareEngine::resetRunState() {
  setRunState(RunState{});
}

void ShareEngine::setRunState(RunState state) {
  if (running_) return;
  state_ = state;
  Q_EMIT runStateChanged();
}

void ShareEngine::setWaitFunction(std::function<void(std::int32_t)> wait) {
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

std::int64_t ShareEngine::pacingMicros(const QString& periodText) {
  bool ok = false;
  const double seconds = periodText.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(seconds)) return 0;
  const double micros = seconds * 1000000.0 - 25000000.0;
  if (micros <= 0.0) return 0;
  // Far beyond any sensible period, but never past what the type holds.
  constexpr double kLongest = 9.0e18;
  return static_cast<std::int64_t>(std::min(micros, kLongest));
}

void ShareEngine::onRowsInserted(int first, int last) {
  // Rows put in above the row being worked on move it down: follow it, so
  // that the results still land in the row whose address was entered.
  if (running_ && first <= state_.currentRow) state_.currentRow += last - first + 1;
}

void ShareEngine::onRowsRemoved(int first, int last) {
  if (!running_ || first >= state_.currentRow) return;
  // Rows taken out above the row being worked on move it up.
  state_.currentRow -= std::min(last, state_.currentRow - 1) - first + 1;
}

void ShareEngine::onImportClicked() {
  int blankLines = 0;
  importAddresses(dialogs_, dialogParent_, list_, &blankLines);
  Q_EMIT importedText(quillet::importedText(list_.rowCountInt(), blankLines));
}

int ShareEngine::importFile(const QString& path) {
  int blankLines = 0;
  const int inserted = importAddressFile(dialogs_, dialogParent_, list_, path, &blankLines);
  Q_EMIT importedText(quillet::importedText(list_.rowCountInt(), blankLines));
  return inserted;
}

bool ShareEngine::startAllowed() {
  const QString periodText = settings_.periodText();
  bool allowed = list_.rowCountInt() > 0 && !periodText.isEmpty();
  if (allowed) {
    const double seconds = periodSeconds(periodText);
    allowed = std::isfinite(seconds) && !(seconds - 21.0 < -0.0000001);
  }
  if (!allowed) {
    settings_.focusPeriod();
    dialogs_.information(dialogParent_, defaultMessageTitle(), refusalText());
  }
  return allowed;
}

void ShareEngine::onPublishClicked() {
  if (running_) {
    // A pass inside the running one would share its row counter and enter
    // rows twice or skip them: say so and leave the running pass alone.
    Q_EMIT progressText(busyPublishText());
    return;
  }
  run();
}

void ShareEngine::startAt(int row) {
  if (running_) {
    Q_EMIT progressText(busyPublishText());
    return;
  }
  if (row < 0 || row >= list_.rowCountInt()) return;
  setRunState(RunState{row, 0});
  run();
}

void ShareEngine::run() {
  running_ = true;
  context_->stopRequested = false;
  context_->paused = false;
  const std::shared_ptr<RunContext> context = context_;
  bool ended = false;
  while (startAllowed()) {
    Q_EMIT passStarted(state_.currentRow);
    if (!context->alive) return;
    if (!runPass(context)) {
      ended = true;
      break;
    }
    Q_EMIT progressText(finishedText());
    lastProgress_.clear();
    state_ = RunState{};
    Q_EMIT runStateChanged();
    Q_EMIT passEnded(true);
    Q_EMIT passFinished();
    if (!context->alive) return;
    if (!settings_.loopSharing()) break;
    list_.clearColumn(AddressListModel::StatusColumn);
  }
  if (!context->alive) return;  // the engine went away during the last wait
  if (ended) {
    const bool userStop = context->stopRequested && !context->quitting;
    if (userStop) {
      // The place is kept: "发表" goes on from the row that was not done.
      Q_EMIT progressText(stoppedText());
      Q_EMIT runStateChanged();
    } else {
      state_ = RunState{};
    }
    Q_EMIT passEnded(false);
  }
  running_ = false;
  context->stopRequested = false;
  if (context->paused) {
    context->paused = false;
    Q_EMIT pausedChanged(false);
  }
  lastProgress_.clear();
  Q_EMIT runEnded();
}

bool ShareEngine::runPass(const std::shared_ptr<RunContext>& context) {
  for (;;) {
    steps_.skipUnconfirmed();
    if (state_.currentRow >= list_.rowCountInt()) return true;
    if (steps_.openStartPage() == StepOutcome::Stopped) return false;
    if (!pauseFor(context, RowWaits::kStartLink)) return false;
    steps_.openShareDialog();
    if (!pauseFor(context, RowWaits::kShareDialog)) return false;
    const StepOutcome entered = steps_.enterAddress();
    if (entered == StepOutcome::Stopped) return false;
    if (entered == StepOutcome::NoRow) continue;  // the loop test ends the pass
    if (!pauseFor(context, RowWaits::kBeforeConfirm)) {
      // Entered but never confirmed: a later pass starts again at this row.
      if (context->alive && state_.currentRow > 0) --state_.currentRow;
      return false;
    }
    if (steps_.publish() == StepOutcome::Stopped) return false;
    if (context->mustEnd()) return false;  // stopped: the row is recorded, end here
    // The period is read again: a change takes effect here, without checks.
    const std::int64_t pacing = pacingMicros(settings_.periodText()) +
                                std::max<std::int64_t>(0, settings_.pacingJitterMicros());
    if (!pauseFor(context, pacing)) return false;
  }
}

void ShareEngine::onResendClicked() {
  if (running_) {
    Q_EMIT progressText(busyResendText());
    return;
  }
  const QStringList addresses = failed_.addresses();
  if (addresses.isEmpty()) {
    dialogs_.information(dialogParent_, noFailuresTitle(), noFailuresText());
    return;
  }
  if (!mayDiscardResults(dialogs_, dialogParent_, list_, QStringLiteral("失败重发"),
                         resendDiscardQuestion)) {
    return;
  }
  list_.clear();
  Q_EMIT importedText(quillet::importedText(static_cast<int>(addresses.size())));
  list_.insertRows(0, addresses);
  onPublishClicked();
}

}  // namespace quillet
