#include "app/list_actions.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "app/dialogs.h"
#include "journal/csv_export.h"
#include "share/address_list_model.h"
#include "share/discard_question.h"
#include "share/journal_recorder.h"

namespace quillet {

ListActionState listActionState(const ListSituation& s) {
  ListActionState a;
  a.pause = s.running && !s.paused;
  a.resume = s.running && s.paused;
  a.stop = s.running;
  a.startHere = !s.running && s.selectedRows == 1;
  a.clearStatus = s.selectedRows > 0;
  a.deleteRows = !s.running && s.selectedRows > 0;
  a.clearList = !s.running && s.rowCount > 0;
  a.exportResults = s.rowCount > 0;
  a.exportFailed = s.failedCount > 0;
  return a;
}

ListActions::ListActions(AddressListModel& list, Dialogs& dialogs)
    : list_(list), dialogs_(dialogs) {}

QString ListActions::exportFolder() const {
  return exportFolder_.isEmpty() || !QFileInfo(exportFolder_).isDir() ? QDir::homePath()
                                                                      : exportFolder_;
}

void ListActions::setExportFolder(const QString& folder) {
  exportFolder_ = folder;
}

QString ListActions::exportedText(const QString& path) {
  return QStringLiteral("已导出到%1").arg(QDir::toNativeSeparators(path));
}

QString ListActions::deleteRefusedText() {
  return QStringLiteral("正在分享中，不能删除地址（请先停止）");
}

QString ListActions::clearRefusedText() {
  return QStringLiteral("正在分享中，不能清空列表（请先停止）");
}

QString ListActions::exportTitle() {
  return QStringLiteral("导出结果");
}

QString ListActions::exportFailedTitle() {
  return QStringLiteral("导出失败地址");
}

void ListActions::clearStatus(const QList<int>& rows) {
  // One batch, recorded in one transaction.
  list_.clearStatuses(rows);
}

QString ListActions::deleteRows(const QList<int>& rows, bool running) {
  if (running) return deleteRefusedText();
  // One sweep over the list and one transaction, however scattered the rows.
  list_.deleteRowSet(rows);
  return {};
}

QString ListActions::clearList(bool running) {
  if (running) return clearRefusedText();
  // Results are only given up when the user says so.
  const bool discard = mayDiscardResults(list_, [this](int withResults) {
    return dialogs_.question(QStringLiteral("清空列表"), clearDiscardQuestion(withResults));
  });
  if (!discard) return {};
  list_.clear();
  return {};
}

bool ListActions::save(const QString& caption, const QString& suggestedName, const QString& filter,
                       const QByteArray& bytes) {
  const QString path =
      dialogs_.getSaveFileName(caption, QDir(exportFolder()).filePath(suggestedName), filter);
  if (path.isEmpty()) return false;
  QString error;
  if (writeExportFile(path, bytes, error)) {
    exportFolder_ = QFileInfo(path).absolutePath();
    if (onExported_) onExported_(QFileInfo(path).absoluteFilePath());
    return true;
  }
  dialogs_.warning(caption,
                   QStringLiteral("无法写入文件%1：%2").arg(QDir::toNativeSeparators(path), error));
  return false;
}

bool ListActions::exportResults() {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm"));
  return save(exportTitle(), QStringLiteral("分享结果-%1.csv").arg(stamp),
              QStringLiteral("CSV 文件 (*.csv)"),
              resultsCsv(JournalRecorder::rowsOf(list_, 0, list_.rowCountInt())));
}

bool ListActions::exportFailed(const QStringList& failedAddresses) {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm"));
  return save(exportFailedTitle(), QStringLiteral("失败地址-%1.txt").arg(stamp),
              QStringLiteral("文本文件 (*.txt)"), failedAddressesText(failedAddresses));
}

}  // namespace quillet
