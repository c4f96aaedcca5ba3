#pragma once

#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <memory>

namespace quillet::term {

/// What `quillet run` was asked for, read and checked before anything in the
/// data folder changes: a run refused for its file, its period or its --csv
/// file ends with status 2 and leaves the list, the journal and an
/// interrupted pass exactly as they were.
class RunInput {
 public:
  /// Reads `file` (a regular file of addresses, GBK or UTF-8, blank lines
  /// left out), checks the period as 发表 does and opens the --csv file
  /// `csvPath` (none when empty) without touching what it holds yet. False
  /// with the reason on standard error when something is refused.
  bool prepare(const QString& file, double periodSeconds, const QString& csvPath);

  /// The file's addresses in file order.
  const QStringList& addresses() const { return addresses_; }
  /// How many blank lines the file held.
  int blankLines() const { return blankLines_; }

  /// The opened --csv file (null without --csv). Its content replaces the
  /// old file only at commit(); a run that ends before leaves it as it was.
  QSaveFile* csvFile() const { return csv_.get(); }
  /// Writes `bytes` as the whole --csv file. False with the reason on
  /// standard error when the file could not be written.
  bool commitCsv(const QByteArray& bytes);

 private:
  QStringList addresses_;
  int blankLines_ = 0;
  QString csvPath_;
  bool csvExisted_ = false;
  std::unique_ptr<QSaveFile> csv_;
};

}  // namespace quillet::term
