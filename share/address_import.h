#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace quillet {

class AddressListModel;
class Dialogs;

/// The status-bar text for a count of addresses: "已导入12个地址".
QString importedText(int count);

/// The import behind "导入地址": asks for a file, puts its lines at the top
/// of the list in reverse file order (above the rows already there), then
/// writes the row count to `imported` whether or not a file was chosen.
/// A file that cannot be read leaves the rows as they were and says which
/// file and why in a message box. Returns the number of rows inserted.
int importAddresses(Dialogs& dialogs, QWidget* dialogParent, AddressListModel& list,
                    QLabel* imported);

}  // namespace quillet
