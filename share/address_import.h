#pragma once

#include <QString>

namespace quillet {

class AddressListModel;
class Dialogs;

/// The status-bar text for a count of addresses: "已导入12个地址", and
/// "（跳过2个空行）" after it when the last file read held blank lines.
QString importedText(int count, int blankLines = 0);

/// The import behind "导入地址": asks for a file and imports it as
/// importAddressFile() does. Returns the number of rows inserted (0 when the
/// dialog was cancelled). The caller shows importedText() of the row count
/// afterwards, whether or not a file was chosen.
int importAddresses(Dialogs& dialogs, AddressListModel& list, int* blankLines = nullptr);

/// Puts the lines of the file at `path` at the top of the list in reverse
/// file order (above the rows already there). A file that cannot be read
/// leaves the rows as they were and says which file and why through
/// `dialogs`. Returns the number of rows inserted, or -1 when unreadable.
/// Blank lines are left out; their count goes to `blankLines` when given.
int importAddressFile(Dialogs& dialogs, AddressListModel& list, const QString& path,
                      int* blankLines = nullptr);

}  // namespace quillet
