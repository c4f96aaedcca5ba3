#include "share/page_steps.h"

#include <QDateTime>
#include <cmath>

#include "share/address_list_model.h"
#include "share/designed_waits.h"
#include "share/failed_addresses.h"
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

PageSteps::PageSteps(StepParts parts, const SiteProfile& profile, PassCursor& cursor,
                     std::shared_ptr<RunContext> context)
    : parts_(parts),
      profile_(profile),
      cursor_(cursor),
      context_(std::move(context)),
      random_(std::random_device{}()),
      noPage_(noSitePage()) {}

QString PageSteps::unconfirmedStatus() {
  return QStringLiteral("未确认");
}

RowKey PageSteps::nextRow() {
  if (!cursor_.pass) return 0;
  const JournalPass& pass = *cursor_.pass;
  const AddressListModel& list = *parts_.list;
  cursor_.place = std::max(cursor_.place, 0);
  while (cursor_.place < pass.rows.size()) {
    const RowKey key = pass.rows[cursor_.place];
    const int row = list.rowOf(key);
    if (row >= 0 && !pass.done.contains(key) &&
        list.cell(row, AddressListModel::StatusColumn) != unconfirmedStatus()) {
      return key;
    }
    ++cursor_.place;
  }
  return 0;
}

int PageSteps::currentPosition() const {
  return cursor_.current == 0 ? -1 : parts_.list->rowOf(cursor_.current);
}

std::int32_t& PageSteps::failedCount() {
  static std::int32_t outsideAnyPass = 0;
  if (!cursor_.pass) {
    outsideAnyPass = 0;
    return outsideAnyPass;
  }
  return cursor_.pass->failedCount;
}

QString PageSteps::progressText(std::int64_t rowNumber) {
  return QStringLiteral("正在分享第") + QString::number(rowNumber) + QStringLiteral("个地址");
}

QString PageSteps::publishTimeNow() {
  return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

StepOutcome PageSteps::openStartPage() {
  page().navigate(profile_.logonUrl());
  if (!pause(RowWaits::kStartPage)) return StepOutcome::Stopped;

  // A page that never finishes loading must not hold the pass: the wait is
  // limited, and when it runs out the iteration goes on and the result check
  // decides.
  const int limitMs =
      std::max(10, static_cast<int>(std::lround(kStartPageLoadLimitMs * timeScale())));
  const std::shared_ptr<RunContext> context = context_;
  page().waitUntilLoaded(limitMs);
  if (context->mustEnd()) return StepOutcome::Stopped;
  // The login form or an error page instead of the start page concerns the
  // whole site: nothing is clicked, the pass decides.
  startPageState_ = page().siteState();
  if (startPageState_ != SiteState::Usable) return StepOutcome::Done;
  page().clickLink(profile_.startPageLink);
  return StepOutcome::Done;
}

void PageSteps::openShareDialog() {
  page().clickLinkByKey(profile_.shareLinkText, profile_.shareLinkMode, false);
}

StepOutcome PageSteps::enterAddress() {
  AddressListModel& list = *parts_.list;
  lastResultMuted_ = false;
  lastResultShared_ = false;
  for (;;) {
    const RowKey key = nextRow();
    if (key == 0) return StepOutcome::NoRow;
    const int row = list.rowOf(key);
    parts_.report->progress(progressText(std::int64_t{row} + 1));
    page().setTextBoxValue(profile_.addressBox, list.cell(row));
    cursor_.current = key;
    parts_.report->addressEntered(row);
    page().clickButton(profile_.addressSubmitButton);
    // Entered but never confirmed: the row is not done, and a pass that
    // goes on later starts with it again.
    if (!pause(RowWaits::kAddressAnswer)) return StepOutcome::Stopped;

    // A page kept busy by its own scripts answers late; a late answer is
    // still the answer, not "no notice".
    if (!page().highlightText(profile_.wrongLinkNotice, kOutcomeAnswerTimeoutMs, nullptr))
      return StepOutcome::Done;
    // Positions may have moved during the waits: the row is found again.
    const int wrong = list.rowOf(key);
    if (cursor_.pass) cursor_.pass->done.insert(key);
    if (wrong < 0) continue;
    list.setCell(wrong, AddressListModel::StatusColumn, kWrongAddress);
    // Its latest outcome is no failure: a re-send does not take it.
    parts_.failed->recordSuccess(list.cell(wrong), failedCount());
    parts_.report->rowFinished(wrong);
    // The next address goes into the page as it stands now, without a reload.
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
  // Held here: the engine (and these steps with it) may go away during the
  // waits below.
  const std::shared_ptr<RunContext> context = context_;
  const int row = currentPosition();
  if (row < 0) return StepOutcome::Done;  // its row went away meanwhile
  // The pass's own setting: one that goes on after a restart comments as
  // it did before.
  const bool comment =
      cursor_.pass ? cursor_.pass->settings.comment : parts_.settings->addComment();
  if (comment) page().setValueByKey(profile_.commentFieldName, kName, pickComment());
  // From the click on the address may be shared: it leaves the failed
  // list now, so that a re-send never takes it while its result is
  // unknown; a result that reads as a failure puts it back.
  parts_.failed->recordSuccess(parts_.list->cell(row), failedCount());
  // Reported before the click: a crash right after it must leave the row
  // marked as possibly shared, never as untouched. From here on it is done
  // in this pass, whatever its result.
  if (cursor_.pass) cursor_.pass->done.insert(cursor_.current);
  parts_.report->confirmClicked(row);
  page().clickLinkByKey(profile_.confirmElementName, kName, false);
  // The share may have gone through: read its result even when a stop was
  // requested meanwhile.
  if (!pauseFor(context, RowWaits::kResult, true)) {
    if (context->alive) markUnconfirmed();
    return StepOutcome::Stopped;
  }
  checkResult();
  return StepOutcome::Done;
}

void PageSteps::markUnconfirmed() {
  const int row = currentPosition();
  if (row < 0) return;
  parts_.list->setCell(row, AddressListModel::StatusColumn, unconfirmedStatus());
  parts_.report->rowFinished(row);
}

void PageSteps::checkResult() {
  // Reading a busy page's late answer as "not found" would record a real
  // share as failed, and a re-send would then share it twice.
  bool answered = false;
  const bool shared =
      page().highlightText(profile_.successMark, kOutcomeAnswerTimeoutMs, &answered);
  lastResultShared_ = shared;
  // A stop (a signal, or the terminal going away) may take the browser's
  // page with it: a result that could not be read then says nothing about
  // the share, which may well have gone through.
  if (!shared && !answered && context_->stopRequested) {
    markUnconfirmed();
    return;
  }
  // The site's "too often" notice is no result of the row's: it is left as
  // it was and tried again after the hold.
  lastResultMuted_ = false;
  if (!shared) {
    for (const QString& mark : profile_.muteMarks) {
      if (mark.isEmpty()) continue;
      if (page().highlightText(mark, kOutcomeAnswerTimeoutMs, nullptr)) {
        lastResultMuted_ = true;
        break;
      }
    }
  }
  if (lastResultMuted_) return;
  // Found by key after the waits: positions may have moved meanwhile.
  const int row = currentPosition();
  AddressListModel* list = parts_.list;
  if (row < 0 || row >= list->rowCountInt()) return;  // the rows went away meanwhile
  const QString address = list->cell(row);
  if (shared) {
    list->setCell(row, AddressListModel::StatusColumn, kSuccess);
    list->setCell(row, AddressListModel::PublishTimeColumn, publishTimeNow());
    parts_.failed->recordSuccess(address, failedCount());
  } else {
    parts_.failed->recordFailure(address, failedCount());
    list->setCell(row, AddressListModel::StatusColumn, kFailure);
  }
  parts_.report->rowFinished(row);
}

}  // namespace quillet
