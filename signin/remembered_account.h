#pragma once

#include <QString>
#include <memory>

#include "signin/password_keeper.h"

namespace quillet {

/// The account the user asked the program to remember: "user.txt" and
/// "password.txt" in one directory, each holding its field's text as GBK
/// bytes with no terminator and no line break. An empty file means nothing
/// is remembered. The password file is kept readable by its owner only.
class RememberedAccount {
 public:
  explicit RememberedAccount(QString directory);
  ~RememberedAccount();

  /// From now on the password lives in the desktop's keyring where one
  /// answers (see PasswordKeeper); password(), store() and clear() go
  /// through it. `notice` tells the user once when it is kept in the file.
  void keepPasswordInKeyring(const QString& siteBase, PasswordKeeper::Notice notice);

  /// Creates whichever of the two files is absent, empty; existing files are
  /// left exactly as they are.
  void ensureFiles();

  /// The whole text of each file, decoded from GBK and not trimmed (a
  /// trailing line break stays). Empty when the file cannot be read. With
  /// the keyring, the password is its entry for the user when it has one.
  QString userName() const;
  QString password() const;

  /// Replaces both files with the texts' GBK bytes (with the keyring: the
  /// password goes there and the password file is removed, unless none
  /// answers).
  void store(const QString& user, const QString& password);
  /// Truncates both files to length 0 (and removes the keyring's entry).
  void clear();
  /// Forgets the remembered password only (a refused one): the keyring's
  /// entry goes and an existing password file is emptied; the user stays.
  void forgetPassword();

  /// The password file alone, whatever the keyring holds.
  QString filePassword() const;
  /// store() into the two files, without the keyring.
  void storeInFiles(const QString& user, const QString& password);
  /// Writes the user file and removes the password file (its password is
  /// kept elsewhere); a file that cannot be removed is emptied.
  void storeUserWithoutPassword(const QString& user);

  QString directory() const { return directory_; }
  QString userFilePath() const;
  QString passwordFilePath() const;

 private:
  QString directory_;
  std::unique_ptr<PasswordKeeper> keeper_;
};

}  // namespace quillet
