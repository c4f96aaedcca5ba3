#include "share/share_journal.h"

#include "journal/journal.h"
#include "share/address_list_model.h"
#include "share/dialogs.h"
#include "share/failed_addresses.h"
#include "share/journal_recorder.h"
#include "share/share_engine.h"

namespace quillet {

ShareJournal::ShareJournal(AddressListModel& list, FailedAddresses& failed, ShareEngine& engine,
                           Dialogs& dialogs, QWidget* dialogParent, QObject* parent)
    : QObject(parent),
      list_(list),
      failed_(failed),
      engine_(engine),
      dialogs_(dialogs),
      dialogParent_(dialogParent),
      journal_(std::make_unique<Journal>()) {
  connect(journal_.get(), &Journal::turnedOff, this, &ShareJournal::tell);
}

ShareJournal::~ShareJournal() = default;

QString ShareJournal::interruptedText(int rowNumber) {
  return QStringLiteral("上次分享在第%1个地址中断，登录后按“发表”继续").arg(rowNumber);
}

QString ShareJournal::messageTitle() {
  return QStringLiteral("分享记录");
}

bool ShareJournal::isActive() const {
  return journal_->isActive();
}

void ShareJournal::tell(const QString& text) {
  dialogs_.warning(dialogParent_, messageTitle(), text);
}

QString ShareJournal::openAndRestore(const QString& dataDir) {
  journal_->open(dataDir);
  if (!journal_->message().isEmpty()) tell(journal_->message());
  snapshot_ = journal_->restore();

  // The lists get the journal's contents before anything records them.
  recorder_ = std::make_unique<JournalRecorder>(*journal_, list_);
  recorder_->loadRows(snapshot_.rows);
  restoring_ = true;
  failed_.setAddresses(snapshot_.failed);
  restoring_ = false;

  Journal* journal = journal_.get();
  connect(
      &failed_, &FailedAddresses::changed, this,
      [this, journal] {
        if (!restoring_) journal->setFailedAddresses(failed_.addresses());
      },
      Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::importedText, this,
      [journal](const QString& text) { journal->setImportedText(text); }, Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::addressEntered, this,
      [journal](int row) { journal->setRowStep(row, RowStep::AddressEntered); },
      Qt::DirectConnection);
  JournalRecorder* recorder = recorder_.get();
  connect(
      &engine_, &ShareEngine::confirmClicked, this,
      [recorder](int row) { recorder->confirmClicked(row); }, Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::rowFinished, this, [recorder](int row) { recorder->finishRow(row); },
      Qt::DirectConnection);
  connect(&engine_, &ShareEngine::progressText, this, &ShareJournal::onProgressText,
          Qt::DirectConnection);
  connect(&engine_, &ShareEngine::runStateChanged, this, &ShareJournal::recordRunState,
          Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::passStarted, this,
      [this] {
        running_ = true;
        recordRunState();
      },
      Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::runEnded, this,
      [this] {
        recorder_->flush();
        recordRunState();
      },
      Qt::DirectConnection);
  return snapshot_.importedText;
}

void ShareJournal::recordRunState() {
  if (!runStateLive_) return;
  journal_->setRunState({running_, engine_.currentRow(), engine_.failedCount()});
}

void ShareJournal::onProgressText(const QString& text) {
  // The end of the list and a stop by the user end a pass for good; the
  // place is recorded as the engine then keeps it.
  if (text == ShareEngine::finishedText() || text == ShareEngine::stoppedText()) {
    running_ = false;
    recordRunState();
  }
}

void ShareJournal::keepInterrupted() {
  running_ = true;
  recordRunState();
}

QString ShareJournal::resumeRunState() {
  runStateLive_ = true;
  if (snapshot_.resumeRow < 0) {
    recordRunState();
    return {};
  }
  // Still under way as far as the journal goes, until a pass ends it.
  running_ = true;
  engine_.setRunState(RunState{snapshot_.resumeRow, snapshot_.run.failedCount});
  return interruptedText(snapshot_.resumeRow + 1);
}

}  // namespace quillet
