#include "share/page_steps.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <cmath>

#include "browser/browser_control.h"
#include "browser/indexed_page.h"
#include "browser/keyed_page.h"
#include "browser/script_runner.h"
#include "share/address_list_model.h"
#include "share/comment_pool.h"
#include "share/time_scale.h"

namespace quillet {
namespace {

const QString kWrongAddress = QStringLiteral("地址错误");
const QString kSuccess = QStringLiteral("成功");
const QString kFailure = QStringLiteral("失败");

constexpr int kName = 1;  // KeyedPage mode: element name

}  // namespace

PageSteps::PageSteps(const ShareControls& controls, const SiteProfile& profile, RunState& state,
                     std::shared_ptr<RunContext> context)
    : controls_(controls),
      profile_(profile),
      state_(state),
      context_(std::move(context)),
      failed_(controls.failed),
      random_(std::random_device{}()) {}

QString PageSteps::progressText(std::int64_t rowNumber) {
  return QStringLiteral("正在分享第") + QString::number(rowNumber) + QStringLiteral("个地址");
}

QString PageSteps::publishTimeNow() {
  return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

StepOutcome PageSteps::openStartPage() {
  if (BrowserControl* browser = browserControlOf(controls_.browserWindow)) {
    browser->navigate(profile_.logonUrl());
  }
  if (!pause(4000000)) return StepOutcome::Stopped;

  // A page that never finishes loading must not hold the pass: the wait is
  // limited, and when it runs out the iteration goes on and the result check
  // decides.
  const int limitMs =
      std::max(10, static_cast<int>(std::lround(kStartPageLoadLimitMs * timeScale())));
  const std::shared_ptr<RunContext> context = context_;
  IndexedPage page;
  page.WaitUntilComplete(controls_.browserWindow, limitMs);
  if (!context->alive || context->stopRequested) return StepOutcome::Stopped;
  page.Attach(controls_.browserWindow);
  page.ClickLink(profile_.startPageLink);
  return StepOutcome::Done;
}

void PageSteps::openShareDialog() {
  KeyedPage page;
  page.Attach(controls_.browserWindow);
  page.ClickLinkByKey(profile_.shareLinkText, profile_.shareLinkMode, false);
}

StepOutcome PageSteps::enterAddress() {
  for (;;) {
    if (controls_.progress != nullptr) {
      controls_.progress->setText(progressText(std::int64_t{state_.currentRow} + 1));
    }
    {
      IndexedPage page;
      page.Attach(controls_.browserWindow);
      page.SetTextBoxValue(profile_.addressBox, controls_.list->cell(state_.currentRow));
      ++state_.currentRow;
      page.ClickButton(profile_.addressSubmitButton);
    }
    if (!pause(2000000)) return StepOutcome::Stopped;

    // A page kept busy by its own scripts answers late; a late answer is
    // still the answer, not "no notice".
    IndexedPage check;
    check.setAnswerTimeout(kOutcomeAnswerTimeoutMs);
    check.Attach(controls_.browserWindow);
    if (!check.HighlightText(profile_.wrongLinkNotice)) return StepOutcome::Done;
    controls_.list->setCell(state_.currentRow - 1, AddressListModel::StatusColumn, kWrongAddress);
    // The next address goes into the page as it stands now, without a reload.
    if (state_.currentRow >= controls_.list->rowCountInt()) return StepOutcome::NoRow;
  }
}

QString PageSteps::pickComment() {
  std::uniform_int_distribution<int> pickItem(0, 9);
  std::uniform_int_distribution<int> pickNumber(0, 9999);
  const int n = pickItem(random_);
  QString text;
  if (controls_.commentPool != nullptr) {
    controls_.commentPool->setCurrentRow(n);
    if (const QListWidgetItem* item = controls_.commentPool->item(n)) text = item->text();
  }
  if (text.isEmpty()) text = commentPoolTexts().value(n);
  return text + QString::number(pickNumber(random_));
}

StepOutcome PageSteps::publish() {
  {
    KeyedPage page;
    page.Attach(controls_.browserWindow);
    if (controls_.addComment != nullptr && controls_.addComment->isChecked()) {
      page.SetValueByKey(profile_.commentFieldName, kName, pickComment());
    }
    page.ClickLinkByKey(profile_.confirmElementName, kName);
  }
  if (!pause(1600000)) return StepOutcome::Stopped;
  checkResult();
  return StepOutcome::Done;
}

void PageSteps::checkResult() {
  // Reading a busy page's late answer as "not found" would record a real
  // share as failed, and a re-send would then share it twice.
  IndexedPage page;
  page.setAnswerTimeout(kOutcomeAnswerTimeoutMs);
  page.Attach(controls_.browserWindow);
  const bool shared = page.HighlightText(profile_.successMark);
  const int row = state_.currentRow - 1;
  AddressListModel* list = controls_.list;
  if (row < 0 || row >= list->rowCountInt()) return;  // the rows went away meanwhile
  const QString address = list->cell(row);
  if (shared) {
    list->setCell(row, AddressListModel::StatusColumn, kSuccess);
    list->setCell(row, AddressListModel::PublishTimeColumn, publishTimeNow());
    failed_.recordSuccess(address, state_.failedCount);
  } else {
    failed_.recordFailure(address, state_.failedCount);
    list->setCell(row, AddressListModel::StatusColumn, kFailure);
  }
}

}  // namespace quillet
