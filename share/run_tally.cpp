#include "share/run_tally.h"

#include "share/address_list_model.h"
#include "share/share_engine.h"
#include "share/share_settings.h"

namespace quillet {

RunTally::RunTally(ShareEngine& engine, const AddressListModel& list, ShareSettings& settings,
                   QObject* parent)
    : QObject(parent), list_(list), settings_(settings) {
  connect(&engine, &ShareEngine::passStarted, this, [this] {
    if (!running_) {
      // A new run: its rounds and its time per address start afresh.
      running_ = true;
      round_ = 0;
      pace_.start();
    }
    ++round_;
    looping_ = settings_.loopSharing();
    update();
  });
  connect(&engine, &ShareEngine::rowFinished, this, [this] {
    pace_.rowFinished();
    update();
  });
  connect(&engine, &ShareEngine::pausedChanged, this,
          [this](bool paused) { pace_.setPaused(paused); });
  connect(&engine, &ShareEngine::runEnded, this, [this] {
    running_ = false;
    update();
  });
  recount_.setSingleShot(true);
  recount_.setInterval(50);
  connect(&recount_, &QTimer::timeout, this, &RunTally::update);
  const auto later = [this] {
    if (!recount_.isActive()) recount_.start();
  };
  connect(&list_, &QAbstractItemModel::modelReset, this, later);
  connect(&list_, &QAbstractItemModel::dataChanged, this, later);
  connect(&list_, &QAbstractItemModel::rowsInserted, this, later);
  connect(&list_, &QAbstractItemModel::rowsRemoved, this, later);
}

QString RunTally::text() const {
  static const QString kSuccess = QStringLiteral("成功");
  static const QString kFailure = QStringLiteral("失败");
  static const QString kWrong = QStringLiteral("地址错误");
  int succeeded = 0;
  int failed = 0;
  int wrong = 0;
  for (int row = 0; row < list_.rowCountInt(); ++row) {
    const QString status = list_.cell(row, AddressListModel::StatusColumn);
    if (status == kSuccess) {
      ++succeeded;
    } else if (status == kFailure) {
      ++failed;
    } else if (status == kWrong) {
      ++wrong;
    }
  }
  const double perRow = pace_.secondsPerRow();
  if (succeeded + failed + wrong == 0 && round_ == 0) return {};
  QString text =
      QStringLiteral("成功 %1 失败 %2 地址错误 %3").arg(succeeded).arg(failed).arg(wrong);
  if (perRow >= 0) text += QStringLiteral(" · ") + measuredRowText(perRow);
  if (looping_ && round_ > 0) text += QStringLiteral(" · 第%1轮").arg(round_);
  return text;
}

void RunTally::update() {
  const QString now = text();
  if (now == last_) return;
  last_ = now;
  Q_EMIT textChanged(now);
}

}  // namespace quillet
