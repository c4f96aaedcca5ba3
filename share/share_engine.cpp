#include "share/share_engine.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <cmath>

#include "share/address_import.h"
#include "share/address_list_model.h"
#include "share/dialogs.h"
#include "share/failed_addresses.h"
#include "site/pump_wait.h"
#include "site/time_scale.h"

namespace quillet {
namespace {

// The period field as a number of seconds (0 when empty or unreadable).
double periodSeconds(const QLineEdit* period) {
  if (period == nullptr) return 0.0;
  bool ok = false;
  const double value = period->text().trimmed().toDouble(&ok);
  return ok ? value : 0.0;
}

void setText(QLabel* label, const QString& text) {
  if (label != nullptr) label->setText(text);
}

}  // namespace

ShareEngine::ShareEngine(ShareControls controls, SiteProfile profile, Dialogs& dialogs,
                         QObject* parent)
    : QObject(parent),
      controls_(controls),
      profile_(std::move(profile)),
      dialogs_(dialogs),
      context_(std::make_shared<RunContext>()),
      steps_(controls_, profile_, state_, context_) {
  // A wait cut short means the application is quitting: end the pass rather
  // than race through the remaining rows. (The context outlives every call.)
  RunContext* context = context_.get();
  context_->wait = [context](std::int32_t micros) {
    if (!PumpWaitUnscaled(scaledMicros(micros))) context->stopRequested = true;
  };
  connect(controls_.list, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { onRowsInserted(first, last); });
}

ShareEngine::~ShareEngine() {
  // A pass may still be waiting further up the stack; it sees this and ends.
  context_->alive = false;
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

void ShareEngine::resetRunState() {
  state_ = RunState{};
}

void ShareEngine::setWaitFunction(std::function<void(std::int32_t)> wait) {
  context_->wait = std::move(wait);
}

void ShareEngine::stop() {
  if (running_) context_->stopRequested = true;
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

void ShareEngine::onImportClicked() {
  importAddresses(dialogs_, controls_.dialogParent, *controls_.list, controls_.imported);
}

bool ShareEngine::startAllowed() {
  const QString periodText = controls_.period != nullptr ? controls_.period->text() : QString();
  bool allowed = controls_.list->rowCountInt() > 0 && !periodText.isEmpty();
  if (allowed) {
    const double seconds = periodSeconds(controls_.period);
    allowed = std::isfinite(seconds) && !(seconds - 21.0 < -0.0000001);
  }
  if (!allowed) {
    if (controls_.period != nullptr) controls_.period->setFocus(Qt::OtherFocusReason);
    dialogs_.information(controls_.dialogParent, defaultMessageTitle(), refusalText());
  }
  return allowed;
}

void ShareEngine::onPublishClicked() {
  if (running_) {
    // A pass inside the running one would share its row counter and enter
    // rows twice or skip them: say so and leave the running pass alone.
    setText(controls_.progress, busyPublishText());
    return;
  }
  running_ = true;
  context_->stopRequested = false;
  const std::shared_ptr<RunContext> context = context_;
  bool stopped = false;
  while (startAllowed()) {
    if (!runPass(context)) {
      stopped = true;
      break;
    }
    setText(controls_.progress, finishedText());
    state_ = RunState{};
    Q_EMIT passFinished();
    if (!context->alive) return;
    if (controls_.loop == nullptr || !controls_.loop->isChecked()) break;
    controls_.list->clearColumn(AddressListModel::StatusColumn);
  }
  if (!context->alive) return;  // the engine went away during the last wait
  if (stopped) state_ = RunState{};
  running_ = false;
  context->stopRequested = false;
  Q_EMIT runEnded();
}

bool ShareEngine::runPass(const std::shared_ptr<RunContext>& context) {
  while (state_.currentRow < controls_.list->rowCountInt()) {
    if (steps_.openStartPage() == StepOutcome::Stopped) return false;
    if (!pauseFor(context, 2000000)) return false;
    steps_.openShareDialog();
    if (!pauseFor(context, 2000000)) return false;
    const StepOutcome entered = steps_.enterAddress();
    if (entered == StepOutcome::Stopped) return false;
    if (entered == StepOutcome::NoRow) continue;  // the loop test ends the pass
    if (!pauseFor(context, 6000000)) return false;
    if (steps_.publish() == StepOutcome::Stopped) return false;
    // The period is read again: a change takes effect here, without checks.
    const QString periodText = controls_.period != nullptr ? controls_.period->text() : QString();
    if (!pauseFor(context, pacingMicros(periodText))) return false;
  }
  return true;
}

void ShareEngine::onResendClicked() {
  if (running_) {
    setText(controls_.progress, busyResendText());
    return;
  }
  const FailedAddresses failed(controls_.failed);
  const QStringList addresses = failed.addresses();
  if (addresses.isEmpty()) {
    dialogs_.information(controls_.dialogParent, noFailuresTitle(), noFailuresText());
    return;
  }
  controls_.list->clear();
  setText(controls_.imported, importedText(static_cast<int>(addresses.size())));
  controls_.list->insertRows(0, addresses);
  onPublishClicked();
}

}  // namespace quillet
