#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QFile>
#include <QString>

namespace quillet::testing {

// Makes a file or folder unwritable for this process, and writable again when
// it goes: the immutable flag for the superuser (who ignores permission bits),
// read-only permission bits for anyone else.
class Unwritable {
 public:
  explicit Unwritable(const QString& path) : path_(path) {
    if (geteuid() == 0) {
      ok_ = setImmutable(true);
    } else {
      old_ = QFile::permissions(path_);
      ok_ = QFile::setPermissions(path_, old_ & ~(QFile::WriteOwner | QFile::WriteUser |
                                                  QFile::WriteGroup | QFile::WriteOther));
    }
  }
  ~Unwritable() {
    if (!ok_) return;
    if (geteuid() == 0) {
      setImmutable(false);
    } else {
      QFile::setPermissions(path_, old_);
    }
  }
  Unwritable(const Unwritable&) = delete;
  Unwritable& operator=(const Unwritable&) = delete;
  bool ok() const { return ok_; }

 private:
  bool setImmutable(bool on) {
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
  }

  QString path_;
  QFile::Permissions old_;
  bool ok_ = false;
};

}  // namespace quillet::testing
