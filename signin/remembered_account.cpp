#include "signin/remembered_account.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <string>

#include "signin/gbk.h"

namespace quillet {
namespace {

constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Creates `path` empty when it does not exist. The password file is created
// with owner-only permissions from the start, so there is no moment in which
// others could open it.
void createIfAbsent(const QString& path, bool /*secret*/) {
  if (QFileInfo::exists(path)) return;
  // Owner-only, both: the user name is the account's half too.
  QFile(path).open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly);
}

// A password file that others may read (copied in, or created under a loose
// umask by an older version) is made owner-only before it is read.
void tightenIfLoose(const QString& path) {
  const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                          QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                          QFileDevice::WriteOther | QFileDevice::ExeOther;
  const QFileInfo info(path);
  if (!info.exists() || (info.permissions() & others) == 0) return;
  if (QFile::setPermissions(path, kOwnerOnly)) {
    std::fprintf(stderr, "%s\n",
                 QStringLiteral("%1 可被他人读取：已改为只有本人可读写（0600）")
                     .arg(QDir::toNativeSeparators(path))
                     .toUtf8()
                     .constData());
  }
}

QString readWhole(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return gbkToQString(std::string(bytes.constData(), std::size_t(bytes.size())));
}

// Replaces the file's content in one step (a new file renamed over the old
// one), so an interrupted write never leaves half an account behind.
void writeWhole(const QString& path, const std::string& bytes, bool secret) {
  if (secret) {
    // The replacement takes over the permissions of the file it replaces:
    // make sure that is owner-only before any password byte is written.
    createIfAbsent(path, true);
    QFile::setPermissions(path, kOwnerOnly);
  }
  QSaveFile file(path);
  // A directory the user may not create files in still allows rewriting
  // files that already exist there.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) return;
  file.write(bytes.data(), qint64(bytes.size()));
  file.commit();
}

}  // namespace

RememberedAccount::RememberedAccount(QString directory) : directory_(std::move(directory)) {}

RememberedAccount::~RememberedAccount() = default;

void RememberedAccount::keepPasswordInKeyring(const QString& siteBase,
                                              PasswordKeeper::Notice notice) {
  keeper_ = std::make_unique<PasswordKeeper>(siteBase, std::move(notice));
}

QString RememberedAccount::userFilePath() const {
  return QDir(directory_).filePath(QStringLiteral("user.txt"));
}

QString RememberedAccount::passwordFilePath() const {
  return QDir(directory_).filePath(QStringLiteral("password.txt"));
}

void RememberedAccount::ensureFiles() {
  createIfAbsent(userFilePath(), false);
  createIfAbsent(passwordFilePath(), true);
}

QString RememberedAccount::userName() const {
  return readWhole(userFilePath());
}

QString RememberedAccount::password() const {
  if (keeper_) return keeper_->password(*this);
  return filePassword();
}

QString RememberedAccount::filePassword() const {
  tightenIfLoose(passwordFilePath());
  return readWhole(passwordFilePath());
}

void RememberedAccount::store(const QString& user, const QString& password) {
  if (keeper_) {
    keeper_->store(*this, user, password);
  } else {
    storeInFiles(user, password);
  }
}

void RememberedAccount::storeInFiles(const QString& user, const QString& password) {
  writeWhole(userFilePath(), qStringToGbk(user), false);
  writeWhole(passwordFilePath(), qStringToGbk(password), true);
}

void RememberedAccount::storeUserWithoutPassword(const QString& user) {
  writeWhole(userFilePath(), qStringToGbk(user), false);
  const QString path = passwordFilePath();
  if (QFileInfo::exists(path) && !QFile::remove(path)) writeWhole(path, {}, true);
}

void RememberedAccount::forgetPassword() {
  if (QFileInfo::exists(passwordFilePath())) writeWhole(passwordFilePath(), {}, true);
  const QString remembered = userName();
  if (keeper_ && !remembered.isEmpty()) keeper_->forget(remembered);
}

void RememberedAccount::clear() {
  const QString remembered = userName();
  writeWhole(userFilePath(), {}, false);
  writeWhole(passwordFilePath(), {}, true);
  if (keeper_ && !remembered.isEmpty()) keeper_->forget(remembered);
}

}  // namespace quillet
