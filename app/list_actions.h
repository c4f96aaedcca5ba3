#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace quillet {

class AddressListModel;
class Dialogs;

/// Which of the address list's context-menu actions make sense right now.
struct ListActionState {
  bool pause = false;        // "暂停": a pass runs and is not paused
  bool resume = false;       // "继续": a pass is paused
  bool stop = false;         // "停止": a pass runs
  bool startHere = false;    // "从此行开始分享": idle, one row selected
  bool clearStatus = false;  // "清除状态": rows selected
  bool deleteRows = false;   // "删除所选行": idle, rows selected
  bool clearList = false;    // "清空列表": idle, the list has rows
  bool exportResults = false;
  bool exportFailed = false;
};

/// The state of the list and the pass that decides the actions.
struct ListSituation {
  bool running = false;
  bool paused = false;
  int rowCount = 0;
  int selectedRows = 0;
  int failedCount = 0;
};

ListActionState listActionState(const ListSituation& situation);

/// The address list's own operations behind its context menu (the pass
/// control goes to the engine). Texts that refuse an action go to the
/// progress part of the status bar, as the engine's refusals do.
class ListActions {
 public:
  ListActions(AddressListModel& list, Dialogs& dialogs);

  /// "清除状态": empties the status of `rows` (their times stay).
  void clearStatus(const QList<int>& rows);
  /// "删除所选行": removes `rows`. Refused while a pass runs (returns the
  /// refusal text; empty when done).
  QString deleteRows(const QList<int>& rows, bool running);
  /// "清空列表". Refused while a pass runs, as above; when rows hold results it
  /// asks first, and a No leaves the list as it is.
  QString clearList(bool running);

  /// "导出结果…": asks where, then writes the list as CSV. False when
  /// cancelled or the file could not be written (the user was told why).
  bool exportResults();
  /// "导出失败地址…": the failed addresses, one a line.
  bool exportFailed(const QStringList& failedAddresses);

  /// The folder the save dialogs start in: the home folder until set, and
  /// after each export the folder written to.
  QString exportFolder() const;
  void setExportFolder(const QString& folder);
  /// Called with the path of each file an export wrote.
  void setOnExported(std::function<void(const QString& path)> onExported) {
    onExported_ = std::move(onExported);
  }
  /// "已导出到PATH": what the status bar says after an export.
  static QString exportedText(const QString& path);

  static QString deleteRefusedText();
  static QString clearRefusedText();
  static QString exportTitle();
  static QString exportFailedTitle();

 private:
  bool save(const QString& caption, const QString& suggestedName, const QString& filter,
            const QByteArray& bytes);

  AddressListModel& list_;
  Dialogs& dialogs_;
  QString exportFolder_;
  std::function<void(const QString&)> onExported_;
};

}  // namespace quillet
