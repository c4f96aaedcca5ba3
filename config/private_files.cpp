#include "config/private_files.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QFile>

namespace quillet {
namespace {

mode_t gUserUmask = 022;

}  // namespace

void keepNewFilesPrivate() {
  gUserUmask = ::umask(077);
  ::umask(gUserUmask | 077);
}

void applyUserUmask(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  ::chmod(name.constData(), 0666 & ~gUserUmask);
}

}  // namespace quillet
