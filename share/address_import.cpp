#include "share/address_import.h"

#include <QDir>
#include <algorithm>

#include "share/address_file.h"
#include "share/address_list_model.h"
#include "share/dialogs.h"

namespace quillet {

QString importedText(int count, int blankLines) {
  QString text = QStringLiteral("已导入") + QString::number(count) + QStringLiteral("个地址");
  if (blankLines > 0) text += QStringLiteral("（跳过%1个空行）").arg(blankLines);
  return text;
}

int importAddressFile(Dialogs& dialogs, AddressListModel& list, const QString& path,
                      int* blankLines) {
  AddressFileContents contents = readAddressFile(path);
  if (blankLines != nullptr) *blankLines = contents.blankLines;
  if (!contents.ok) {
    dialogs.information(
        QStringLiteral("导入地址"),
        QStringLiteral("无法读取文件 %1：%2").arg(QDir::toNativeSeparators(path), contents.error));
    return -1;
  }
  // Each line goes on top of the one before it: the file ends up reversed
  // above the existing rows, inserted as one batch.
  std::reverse(contents.lines.begin(), contents.lines.end());
  list.insertRows(0, contents.lines);
  return static_cast<int>(contents.lines.size());
}

int importAddresses(Dialogs& dialogs, AddressListModel& list, int* blankLines) {
  const QString path = dialogs.getOpenFileName();
  if (path.isEmpty()) return 0;
  return std::max(0, importAddressFile(dialogs, list, path, blankLines));
}

}  // namespace quillet
