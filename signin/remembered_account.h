#pragma once

#include <QString>

namespace quillet {

/// The account the user asked the program to remember: "user.txt" and
/// "password.txt" in one directory, each holding its field's text as GBK
/// bytes with no terminator and no line break. An empty file means nothing
/// is remembered. The password file is kept readable by its owner only.
class RememberedAccount {
 public:
  explicit RememberedAccount(QString directory);

  /// Creates whichever of the two files is absent, empty; existing files are
  /// left exactly as they are.
  void ensureFiles();

  /// The whole text of each file, decoded from GBK and not trimmed (a
  /// trailing line break stays). Empty when the file cannot be read.
  QString userName() const;
  QString password() const;

  /// Replaces both files with the texts' GBK bytes.
  void store(const QString& user, const QString& password);
  /// Truncates both files to length 0.
  void clear();

  QString directory() const { return directory_; }
  QString userFilePath() const;
  QString passwordFilePath() const;

 private:
  QString directory_;
};

}  // namespace quillet
