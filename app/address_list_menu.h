#pragma once

#include <QObject>

class QAction;
class QLabel;
class QMenu;
class QPoint;
class QTreeView;
class QWidget;

namespace quillet {

class FailedAddresses;
class ListActions;
class ShareEngine;

/// The context menu of 超级列表框_地址 and its keyboard shortcuts: pass
/// control (暂停/继续, 停止, 从此行开始分享) goes to the engine, the list's
/// own operations to ListActions. Actions that make no sense at the moment
/// are disabled, so their shortcuts do nothing either.
class AddressListMenu : public QObject {
  Q_OBJECT

 public:
  AddressListMenu(QWidget* window, QTreeView* view, QLabel* progress, ShareEngine& engine,
                  ListActions& actions, FailedAddresses& failed);

  QMenu* menu() const { return menu_; }
  /// Re-reads which actions apply (the engine's state, the selection).
  void refresh();

  QAction* pauseAction;  // "暂停" / "继续", Ctrl+P
  QAction* stopAction;   // "停止", Ctrl+. (and Esc in the list)
  QAction* startHereAction;
  QAction* clearStatusAction;
  QAction* deleteAction;  // Delete in the list (refused with a text while a pass runs)
  QAction* clearListAction;
  QAction* exportAction;  // Ctrl+E
  QAction* exportFailedAction;

 private:
  void showAt(const QPoint& position);
  void deleteSelected();
  QList<int> selectedRows() const;

  QTreeView* view_;
  QLabel* progress_;
  ShareEngine& engine_;
  ListActions& actions_;
  FailedAddresses& failed_;
  QMenu* menu_;
};

}  // namespace quillet
