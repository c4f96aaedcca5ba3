#include "share/address_import.h"

#include <QDir>
#include <algorithm>

#include "share/address_file.h"
#include "share/address_list_model.h"

namespace quillet {

QString importedText(int count, int blankLines) {
  QString text = QStringLiteral("已导入") + QString::number(count) + QStringLiteral("个地址");
  if (blankLines > 0) text += QStringLiteral("（跳过%1个空行）").arg(blankLines);
  return text;
}

QString importFailureTitle() {
  return QStringLiteral("导入地址");
}

QString importFailureText(const ImportFailure& failure) {
  return QStringLiteral("无法读取文件 %1：%2")
      .arg(QDir::toNativeSeparators(failure.path), failure.reason);
}

ImportResult importAddressFile(AddressListModel& list, const QString& path) {
  AddressFileContents contents = readAddressFile(path);
  ImportResult result;
  result.blankLines = contents.blankLines;
  if (!contents.ok) {
    result.failure = ImportFailure{path, contents.error};
    return result;
  }
  // Each line goes on top of the one before it: the file ends up reversed
  // above the existing rows, inserted as one batch.
  std::reverse(contents.lines.begin(), contents.lines.end());
  list.insertRows(0, contents.lines);
  result.inserted = static_cast<int>(contents.lines.size());
  return result;
}

}  // namespace quillet
