#include "share/address_import.h"

#include <QDir>
#include <QLabel>
#include <algorithm>

#include "share/address_file.h"
#include "share/address_list_model.h"
#include "share/dialogs.h"

namespace quillet {

QString importedText(int count) {
  return QStringLiteral("已导入") + QString::number(count) + QStringLiteral("个地址");
}

int importAddresses(Dialogs& dialogs, QWidget* dialogParent, AddressListModel& list,
                    QLabel* imported) {
  int inserted = 0;
  const QString path = dialogs.getOpenFileName(dialogParent);
  if (!path.isEmpty()) {
    AddressFileContents contents = readAddressFile(path);
    if (contents.ok) {
      // Each line goes on top of the one before it: the file ends up
      // reversed above the existing rows, inserted as one batch.
      std::reverse(contents.lines.begin(), contents.lines.end());
      inserted = static_cast<int>(contents.lines.size());
      list.insertRows(0, contents.lines);
    } else {
      dialogs.information(dialogParent, QStringLiteral("导入地址"),
                          QStringLiteral("无法读取文件 %1：%2")
                              .arg(QDir::toNativeSeparators(path), contents.error));
    }
  }
  if (imported != nullptr) imported->setText(importedText(list.rowCountInt()));
  return inserted;
}

}  // namespace quillet
