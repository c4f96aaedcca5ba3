#pragma once

#include <QString>
#include <functional>

#include "signin/password_keyring.h"

namespace quillet {

class RememberedAccount;

/// Where the remembered password lives: in the desktop's keyring when one
/// answers, one entry per account (the user name and the site's address, so
/// that the same name on two sites are two entries), else in the account's
/// password file as before. The file is never the only copy lost: it is
/// removed only once the keyring holds the password, and a password file
/// from before (or from a time without keyring) moves into the keyring at
/// the next remembered sign-in.
class PasswordKeeper {
 public:
  /// Tells the user once that the password is kept in a file.
  using Notice = std::function<void(const QString& text)>;

  /// `siteBase` is the share site's address; `notice` may be empty.
  PasswordKeeper(const QString& siteBase, Notice notice,
                 int answerLimitMs = PasswordKeyring::kAnswerLimitMs);

  /// The service name of the entries.
  static QString serviceName() { return QStringLiteral("quillet"); }
  /// The entry's key for `user` on the site.
  QString entryKey(const QString& user) const;
  /// The notice's text for the password file at `path`.
  static QString fileNoticeText(const QString& path);

  /// The remembered user's password: the keyring's entry, else the file's
  /// text (an account remembered before the keyring, or without one).
  QString password(const RememberedAccount& account);
  /// Remembers `user` and `password`: the password into the keyring and
  /// the password file removed, or into the file when no keyring answers.
  void store(RememberedAccount& account, const QString& user, const QString& password);
  /// Removes the keyring entry of `user` (the files are the caller's).
  void forget(const QString& user);

 private:
  void noticeOnce(const QString& path);

  PasswordKeyring keyring_;
  QString site_;
  Notice notice_;
  bool noticed_ = false;
};

}  // namespace quillet
