#include "share/page_steps.h"

#include <QDateTime>
#include <cmath>

#include "browser/browser_control.h"
#include "browser/indexed_page.h"
#include "browser/keyed_page.h"
#include "browser/script_runner.h"
#include "share/address_list_model.h"
#include "share/failed_addresses.h"
#include "share/row_pacing.h"
#include "share/share_settings.h"
#include "site/comment_pool.h"
#include "site/time_scale.h"

namespace quillet {
namespace {

const QString kWrongAddress = QStringLiteral("地址错误");
const QString kSuccess = QStringLiteral("成功");
const QString kFailure = QStringLiteral("失败");

constexpr int kName = 1;  // KeyedPage mode: element name

}  // namespace

StepReport::~StepReport() = default;

PageSteps::PageSteps(StepParts parts, const SiteProfile& profile, RunState& state,
                     std::shared_ptr<RunContext> context)
    : parts_(parts),
      profile_(profile),
      state_(state),
      context_(std::move(context)),
      random_(std::random_device{}()) {}

QString PageSteps::unconfirmedStatus() {
  return QStringLiteral("未确认");
}

void PageSteps::skipUnconfirmed() {
  const AddressListModel& list = *parts_.list;
  while (state_.currentRow >= 0 && state_.currentRow < list.rowCountInt() &&
         list.cell(state_.currentRow, AddressListModel::StatusColumn) == unconfirmedStatus()) {
    ++state_.currentRow;
  }
}

QString PageSteps::progressText(std::int64_t rowNumber) {
  return QStringLiteral("正在分享第") + QString::number(rowNumber) + QStringLiteral("个地址");
}

QString PageSteps::publishTimeNow() {
  return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

StepOutcome PageSteps::openStartPage() {
  if (BrowserControl* browser = browserControlOf(parts_.browserWindow)) {
    browser->navigate(profile_.logonUrl());
  }
  if (!pause(RowWaits::kStartPage)) return StepOutcome::Stopped;

  // A page that never finishes loading must not hold the pass: the wait is
  // limited, and when it runs out the iteration goes on and the result check
  // decides.
  const int limitMs =
      std::max(10, static_cast<int>(std::lround(kStartPageLoadLimitMs * timeScale())));
  const std::shared_ptr<RunContext> context = context_;
  IndexedPage page;
  page.WaitUntilComplete(parts_.browserWindow, limitMs);
  if (context->mustEnd()) return StepOutcome::Stopped;
  page.Attach(parts_.browserWindow);
  page.ClickLink(profile_.startPageLink);
  return StepOutcome::Done;
}

void PageSteps::openShareDialog() {
  KeyedPage page;
  page.Attach(parts_.browserWindow);
  page.ClickLinkByKey(profile_.shareLinkText, profile_.shareLinkMode, false);
}

StepOutcome PageSteps::enterAddress() {
  AddressListModel& list = *parts_.list;
  for (;;) {
    parts_.report->progress(progressText(std::int64_t{state_.currentRow} + 1));
    const int row = state_.currentRow;
    {
      IndexedPage page;
      page.Attach(parts_.browserWindow);
      page.SetTextBoxValue(profile_.addressBox, list.cell(row));
      ++state_.currentRow;
      parts_.report->addressEntered(row);
      page.ClickButton(profile_.addressSubmitButton);
    }
    if (!pause(RowWaits::kAddressAnswer)) {
      // Entered but never confirmed: a later pass starts again at this row.
      if (context_->alive && state_.currentRow > 0) --state_.currentRow;
      return StepOutcome::Stopped;
    }

    // A page kept busy by its own scripts answers late; a late answer is
    // still the answer, not "no notice".
    IndexedPage check;
    check.setAnswerTimeout(kOutcomeAnswerTimeoutMs);
    check.Attach(parts_.browserWindow);
    if (!check.HighlightText(profile_.wrongLinkNotice)) return StepOutcome::Done;
    list.setCell(state_.currentRow - 1, AddressListModel::StatusColumn, kWrongAddress);
    parts_.report->rowFinished(state_.currentRow - 1);
    // The next address goes into the page as it stands now, without a reload.
    skipUnconfirmed();
    if (state_.currentRow >= list.rowCountInt()) return StepOutcome::NoRow;
  }
}

QString PageSteps::pickComment() {
  const QStringList pool = parts_.settings->comments();
  const QStringList& texts = pool.isEmpty() ? commentPoolTexts() : pool;
  const CommentPick pick = quillet::pickComment(static_cast<int>(texts.size()), random_);
  parts_.report->commentChosen(pick.index);
  return pick.textFrom(texts);
}

StepOutcome PageSteps::publish() {
  const int row = state_.currentRow - 1;
  {
    KeyedPage page;
    page.Attach(parts_.browserWindow);
    if (parts_.settings->addComment()) {
      page.SetValueByKey(profile_.commentFieldName, kName, pickComment());
    }
    // Reported before the click: a crash right after it must leave the row
    // marked as possibly shared, never as untouched.
    parts_.report->confirmClicked(row);
    page.ClickLinkByKey(profile_.confirmElementName, kName);
  }
  // The share may have gone through: read its result even when a stop was
  // requested meanwhile.
  if (!pause(RowWaits::kResult, true)) return StepOutcome::Stopped;
  checkResult();
  return StepOutcome::Done;
}

void PageSteps::checkResult() {
  // Reading a busy page's late answer as "not found" would record a real
  // share as failed, and a re-send would then share it twice.
  IndexedPage page;
  page.setAnswerTimeout(kOutcomeAnswerTimeoutMs);
  page.Attach(parts_.browserWindow);
  const bool shared = page.HighlightText(profile_.successMark);
  const int row = state_.currentRow - 1;
  AddressListModel* list = parts_.list;
  if (row < 0 || row >= list->rowCountInt()) return;  // the rows went away meanwhile
  const QString address = list->cell(row);
  if (shared) {
    list->setCell(row, AddressListModel::StatusColumn, kSuccess);
    list->setCell(row, AddressListModel::PublishTimeColumn, publishTimeNow());
    parts_.failed->recordSuccess(address, state_.failedCount);
  } else {
    parts_.failed->recordFailure(address, state_.failedCount);
    list->setCell(row, AddressListModel::StatusColumn, kFailure);
  }
  parts_.report->rowFinished(row);
}

}  // namespace quillet
