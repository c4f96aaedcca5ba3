#include "share/share_journal.h"

#include <QDir>

#include "journal/journal.h"
#include "share/address_list_model.h"
#include "share/failed_addresses.h"
#include "share/journal_recorder.h"
#include "share/share_engine.h"

namespace quillet {

ShareJournal::ShareJournal(AddressListModel& list, FailedAddresses& failed, ShareEngine& engine,
                           QObject* parent)
    : QObject(parent),
      list_(list),
      failed_(failed),
      engine_(engine),
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
  Q_EMIT problem(text);
}

QString ShareJournal::readOnlyText(const QString& path) {
  return QStringLiteral(
             "数据文件%1只能读取，不能写入：列表照原样显示，但此后的变化不会保存。"
             "请检查文件夹的写入权限和磁盘空间后重新启动程序。")
      .arg(QDir::toNativeSeparators(path));
}

QString ShareJournal::staleText(const QString& path) {
  return QStringLiteral(
             "上次运行时数据文件%1在途中停止了记录（磁盘已满或无法写入），"
             "其中的列表状态和分享位置可能已经过时，所以不从上次中断的地方继续。"
             "请核对列表后再按“发表”。")
      .arg(QDir::toNativeSeparators(path));
}

QString ShareJournal::openAndRestore(const QString& dataDir) {
  journal_->open(dataDir);
  snapshot_ = journal_->restore();
  QString message = journal_->message();
  if (snapshot_.readOnly) {
    message = readOnlyText(journal_->filePath()) +
              (message.isEmpty() ? QString() : QLatin1Char('\n') + message);
  }
  if (snapshot_.stale) {
    message = staleText(journal_->filePath()) +
              (message.isEmpty() ? QString() : QLatin1Char('\n') + message);
  }
  if (!message.isEmpty()) tell(message);

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
  JournalRecorder* recorder = recorder_.get();
  connect(
      &engine_, &ShareEngine::addressEntered, this,
      [this, recorder](int row) {
        recorder->addressEntered(row, engine_.pass() ? engine_.pass()->key : 0);
      },
      Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::confirmClicked, this,
      [recorder](int row) { recorder->confirmClicked(row); }, Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::rowFinished, this, [recorder](int row) { recorder->finishRow(row); },
      Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::rowReleased, this, [recorder](int row) { recorder->releaseRow(row); },
      Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::holdChanged, this,
      [this] {
        const JournalPass* pass = engine_.pass();
        if (!runStateLive_ || pass == nullptr || pass->key == 0) return;
        journal_->setPassHold(pass->key, pass->hold);
      },
      Qt::DirectConnection);
  connect(&engine_, &ShareEngine::runStateChanged, this, &ShareJournal::recordPass,
          Qt::DirectConnection);
  connect(&engine_, &ShareEngine::passStarted, this, &ShareJournal::onPassStarted,
          Qt::DirectConnection);
  connect(
      &engine_, &ShareEngine::runEnded, this,
      [this] {
        recorder_->flush();
        recordPass();
      },
      Qt::DirectConnection);
  return snapshot_.importedText;
}

void ShareJournal::onPassStarted() {
  const JournalPass* pass = engine_.pass();
  if (!runStateLive_ || pass == nullptr) return;
  // A new pass gets its record; one that goes on has its state and
  // settings written again.
  if (pass->key == 0) {
    engine_.setPassKey(journal_->startPass(*pass));
  } else {
    journal_->updatePass(*pass);
  }
}

void ShareJournal::recordPass() {
  const JournalPass* pass = engine_.pass();
  if (!runStateLive_ || pass == nullptr || pass->key == 0) return;
  journal_->updatePass(*pass);
}

void ShareJournal::keepInterrupted() {
  const JournalPass* pass = engine_.pass();
  if (pass == nullptr || pass->key == 0 || pass->state == PassState::Finished) return;
  JournalPass interrupted = *pass;
  interrupted.state = PassState::Running;
  journal_->updatePass(interrupted);
}

QString ShareJournal::resumeRunState() {
  runStateLive_ = true;
  if (snapshot_.resumeRow < 0 || !snapshot_.pass) return {};
  // A stopped pass goes on with "发表" as it did before the restart; an
  // interrupted one says so.
  engine_.setPass(*snapshot_.pass);
  if (snapshot_.pass->state != PassState::Running) return {};
  return interruptedText(snapshot_.resumeRow + 1);
}

}  // namespace quillet
