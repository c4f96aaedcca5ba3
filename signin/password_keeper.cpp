#include "signin/password_keeper.h"

#include <QUrl>

#include "signin/remembered_account.h"

namespace quillet {
namespace {

// The part of the site's address that tells one site from another: host and
// port (http and https of one host are one site). The whole text when it is
// no address.
QString siteOf(const QString& siteBase) {
  const QUrl url(siteBase);
  if (url.host().isEmpty()) return siteBase;
  return url.port() == -1 ? url.host() : url.host() + u':' + QString::number(url.port());
}

}  // namespace

PasswordKeeper::PasswordKeeper(const QString& siteBase, Notice notice, int answerLimitMs)
    : keyring_(serviceName(), answerLimitMs), site_(siteOf(siteBase)), notice_(std::move(notice)) {}

QString PasswordKeeper::entryKey(const QString& user) const {
  return user + u'@' + site_;
}

QString PasswordKeeper::fileNoticeText(const QString& path) {
  return QStringLiteral("没有可用的密钥环，密码保存在文件中：%1").arg(path);
}

QString PasswordKeeper::password(const RememberedAccount& account) {
  const QString user = account.userName();
  // Nothing remembered: no reason to wake the keyring.
  if (user.isEmpty()) return account.filePassword();
  const PasswordKeyring::Lookup lookup = keyring_.read(entryKey(user));
  switch (lookup.answer) {
    case PasswordKeyring::Answer::Done:
      return lookup.password;
    case PasswordKeyring::Answer::NotFound:
      // Remembered before the keyring was used: moved at the next sign-in.
      return account.filePassword();
    case PasswordKeyring::Answer::NoKeyring:
      break;
  }
  const QString text = account.filePassword();
  if (!text.isEmpty()) noticeOnce(account.passwordFilePath());
  return text;
}

void PasswordKeeper::store(RememberedAccount& account, const QString& user,
                           const QString& password) {
  const QString previous = account.userName();
  // The keyring first: until it holds the password, the file keeps whatever
  // it held, so a keyring failing here never loses the remembered account.
  if (keyring_.write(entryKey(user), password) == PasswordKeyring::Answer::Done) {
    account.storeUserWithoutPassword(user);
    if (!previous.isEmpty() && previous != user) keyring_.remove(entryKey(previous));
    return;
  }
  account.storeInFiles(user, password);
  noticeOnce(account.passwordFilePath());
  // An older entry would be read before the file: take it out where the
  // keyring still answers that much (it refused the write, but may not be
  // gone).
  keyring_.remove(entryKey(user));
}

void PasswordKeeper::forget(const QString& user) {
  keyring_.remove(entryKey(user));
}

void PasswordKeeper::noticeOnce(const QString& path) {
  if (noticed_) return;
  noticed_ = true;
  if (notice_) notice_(fileNoticeText(path));
}

}  // namespace quillet
