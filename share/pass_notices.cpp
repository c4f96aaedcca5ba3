#include "share/pass_notices.h"

#include "notify/desktop_notifier.h"
#include "share/address_list_model.h"
#include "share/share_engine.h"
#include "share/site_hold.h"

namespace quillet {

PassNotices::PassNotices(ShareEngine& engine, const AddressListModel& list, QString signInAdvice,
                         QObject* parent)
    : QObject(parent),
      engine_(engine),
      list_(list),
      signInAdvice_(std::move(signInAdvice)),
      notifier_(std::make_unique<DesktopNotifier>()) {
  connect(&engine_, &ShareEngine::holdStarted, this, &PassNotices::onHoldStarted);
  connect(&engine_, &ShareEngine::holdEnded, this, [this] { told_.reset(); });
  connect(&engine_, &ShareEngine::passEnded, this, &PassNotices::onPassEnded);
}

PassNotices::~PassNotices() = default;

QString PassNotices::holdSummary(const JournalHold& hold) {
  return QStringLiteral("Quillet：") + holdReasonText(hold.kind);
}

QString PassNotices::holdBody(const JournalHold& hold, int rowNumber, const QString& signInAdvice) {
  QString body = holdStatusText(hold, rowNumber);
  if (hold.kind == HoldKind::SignedOut && !signInAdvice.isEmpty())
    body += QStringLiteral("。") + signInAdvice;
  return body;
}

QString PassNotices::countsText(int succeeded, int failed, int wrongAddress) {
  return QStringLiteral("成功 %1，失败 %2，地址错误 %3")
      .arg(succeeded)
      .arg(failed)
      .arg(wrongAddress);
}

void PassNotices::onHoldStarted(const JournalHold& hold) {
  if (told_ == hold.kind) return;  // the same hold renewed
  told_ = hold.kind;
  const int position = list_.rowOf(hold.row);
  const int rowNumber = position < 0 ? list_.rowCountInt() : position + 1;
  notifier_->notify(holdSummary(hold), holdBody(hold, rowNumber, signInAdvice_));
}

void PassNotices::onPassEnded(bool completed) {
  told_.reset();
  const JournalPass* pass = engine_.pass();
  int succeeded = 0;
  int failed = 0;
  int wrong = 0;
  if (pass != nullptr) {
    for (const RowKey key : pass->rows) {
      const int row = list_.rowOf(key);
      if (row < 0) continue;
      const QString status = list_.cell(row, AddressListModel::StatusColumn);
      if (status == QStringLiteral("成功")) {
        ++succeeded;
      } else if (status == QStringLiteral("失败")) {
        ++failed;
      } else if (status == QStringLiteral("地址错误")) {
        ++wrong;
      }
    }
  }
  QString summary;
  if (completed) {
    summary = QStringLiteral("Quillet：发布完毕");
  } else if (engine_.holdEnding() == HoldEnding::SignedOut) {
    summary = QStringLiteral("Quillet：登录已失效，分享已中断");
  } else if (engine_.holdEnding() == HoldEnding::GaveUp) {
    summary = QStringLiteral("Quillet：网站一直无法访问，分享已中断");
  } else {
    summary = QStringLiteral("Quillet：分享已停止");
  }
  notifier_->notify(summary, countsText(succeeded, failed, wrong));
}

}  // namespace quillet
