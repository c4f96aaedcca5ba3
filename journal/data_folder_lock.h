#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace quillet {

/// Keeps a second Quillet off a data folder while this one uses it: a
/// QLockFile in the folder, held for the object's lifetime. A lock left by
/// a process that no longer runs is taken over; a live one is never
/// treated as stale, however old (a pass can run for hours).
class DataFolderLock {
 public:
  explicit DataFolderLock(const QString& dataDir);

  /// Creates the folder if needed and takes the lock. False when another
  /// process holds it or the folder cannot be written; errorText() says which.
  bool tryLock();
  bool isLocked() const;
  /// The last tryLock() failed because another live process holds the lock
  /// (rather than because the folder cannot be written).
  bool heldByAnother() const { return heldByAnother_; }
  QString errorText() const { return error_; }
  /// The lock file's path.
  QString lockPath() const;

  /// "另一个Quillet正在使用此数据文件夹：DIR".
  static QString inUseText(const QString& dataDir);
  static QString fileName();

 private:
  QString dataDir_;
  std::unique_ptr<QLockFile> lock_;
  QString error_;
  bool heldByAnother_ = false;
};

}  // namespace quillet
