#include "journal/data_folder_lock.h"

#include <QDir>
#include <QTemporaryFile>

namespace quillet {
namespace {

// The system's reason why no file can be made in `folder`: QLockFile keeps
// it to itself, so a throw-away file of our own is tried.
QString whyNoFile(const QString& folder) {
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("quillet.lock.XXXXXX")));
  if (!probe.open()) return probe.errorString();
  return QStringLiteral("未知错误");
}

}  // namespace

DataFolderLock::DataFolderLock(const QString& dataDir)
    : dataDir_(dataDir), lock_(std::make_unique<QLockFile>(lockPath())) {
  // 0: never stale by age. A lock whose process has died is still taken
  // over, because QLockFile checks the recorded process id.
  lock_->setStaleLockTime(0);
}

QString DataFolderLock::fileName() {
  return QStringLiteral("quillet.lock");
}

QString DataFolderLock::lockPath() const {
  return QDir(dataDir_).filePath(fileName());
}

QString DataFolderLock::inUseText(const QString& dataDir) {
  return QStringLiteral("另一个Quillet正在使用此数据文件夹：%1")
      .arg(QDir::toNativeSeparators(dataDir));
}

bool DataFolderLock::tryLock() {
  error_.clear();
  heldByAnother_ = false;
  if (lock_->isLocked()) return true;
  QDir().mkpath(dataDir_);
  if (lock_->tryLock(0)) return true;
  switch (lock_->error()) {
    case QLockFile::LockFailedError:
      heldByAnother_ = true;
      error_ = inUseText(dataDir_);
      break;
    case QLockFile::PermissionError:
    case QLockFile::UnknownError:
    case QLockFile::NoError:
      error_ = QStringLiteral("无法在数据文件夹%1中建立锁文件：%2")
                   .arg(QDir::toNativeSeparators(dataDir_), whyNoFile(dataDir_));
      break;
  }
  return false;
}

bool DataFolderLock::isLocked() const {
  return lock_->isLocked();
}

}  // namespace quillet
