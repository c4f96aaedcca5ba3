#include "share/address_import.h"

#include <QDir>
#include <algorithm>

#include "share/address_file.h"
#include "share/address_list_model.h"
#include "share/dialogs.h"

namespace quillet {

QString importedText(int count) {
  return QStringLiteral("已导入") + QString::number(count) + QStringLiteral("个地址");
}

int importAddressFile(Dialogs& dialogs, QWidget* dialogParent, AddressListModel& list,
                      const QString& path) {
  AddressFileContents contents = readAddressFile(path);
  if (!contents.ok) {
    dialogs.information(
        dialogParent, QStringLiteral("导入地址"),
        QStringLiteral("无法读取文件 %1：%2").arg(QDir::toNativeSeparators(path), contents.error));
    return -1;
  }
  // Each line goes on top of the one before it: the file ends up reversed
  // above the existing rows, inserted as one batch.
  std::reverse(contents.lines.begin(), contents.lines.end());
  list.insertRows(0, contents.lines);
  return static_cast<int>(contents.lines.size());
}

int importAddresses(Dialogs& dialogs, QWidget* dialogParent, AddressListModel& list) {
  const QString path = dialogs.getOpenFileName(dialogParent);
  if (path.isEmpty()) return 0;
  return std::max(0, importAddressFile(dialogs, dialogParent, list, path));
}

}  // namespace quillet
