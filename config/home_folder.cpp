#include "config/home_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <vector>

namespace quillet {

QString homeFolder() {
  const QString home = qEnvironmentVariable("HOME");
  if (!home.isEmpty() && QDir::isAbsolutePath(home)) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return QString::fromLocal8Bit(found->pw_dir);
  }
  return QDir::rootPath();
}

QString xdgBaseDir(const char* variable, const char* homeRelative) {
  const QString value = qEnvironmentVariable(variable);
  if (!value.isEmpty() && QDir::isAbsolutePath(value)) return value;
  return homeFolder() + u'/' + QLatin1String(homeRelative);
}

}  // namespace quillet
