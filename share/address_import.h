#pragma once

#include <QString>
#include <optional>

namespace quillet {

class AddressListModel;

/// The status-bar text for a count of addresses: "已导入12个地址", and
/// "（跳过2个空行）" after it when the last file read held blank lines.
QString importedText(int count, int blankLines = 0);

/// Why an address file could not be imported: which file, and the system's
/// reason.
struct ImportFailure {
  QString path;
  QString reason;
};

/// The title and text that tell an ImportFailure: "导入地址",
/// "无法读取文件 PATH：REASON".
QString importFailureTitle();
QString importFailureText(const ImportFailure& failure);

/// What an import did: the rows it put in, the blank lines it left out, or
/// why the file could not be read (then no row went in).
struct ImportResult {
  int inserted = 0;
  int blankLines = 0;
  std::optional<ImportFailure> failure;
};

/// Puts the lines of the file at `path` at the top of the list in reverse
/// file order (above the rows already there). A file that cannot be read
/// leaves the rows as they were; the result says which file and why. Blank
/// lines are left out and counted.
ImportResult importAddressFile(AddressListModel& list, const QString& path);

}  // namespace quillet
