#include "app/address_list_menu.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTreeView>
#include <algorithm>

#include "app/list_actions.h"
#include "share/address_list_model.h"
#include "share/failed_addresses.h"
#include "share/share_engine.h"

namespace quillet {

AddressListMenu::AddressListMenu(QWidget* window, QTreeView* view, QLabel* progress,
                                 ShareEngine& engine, ListActions& actions, FailedAddresses& failed)
    : QObject(window),
      view_(view),
      progress_(progress),
      engine_(engine),
      actions_(actions),
      failed_(failed),
      menu_(new QMenu(view)) {
  auto make = [this](const QString& text, QWidget* owner, const QKeySequence& keys,
                     Qt::ShortcutContext context) {
    auto* action = new QAction(text, owner);
    if (!keys.isEmpty()) {
      action->setShortcut(keys);
      action->setShortcutContext(context);
    }
    owner->addAction(action);
    return action;
  };
  pauseAction = make(QStringLiteral("暂停"), window, QKeySequence(QStringLiteral("Ctrl+P")),
                     Qt::WindowShortcut);
  stopAction = make(QStringLiteral("停止"), window, QKeySequence(QStringLiteral("Ctrl+.")),
                    Qt::WindowShortcut);
  startHereAction = make(QStringLiteral("从此行开始分享"), view, {}, Qt::WidgetShortcut);
  clearStatusAction = make(QStringLiteral("清除状态"), view, {}, Qt::WidgetShortcut);
  // Delete is a shortcut of its own (below), not the action's: while a pass
  // runs the action is disabled, yet the key still answers with the refusal.
  deleteAction = make(QStringLiteral("删除所选行\tDel"), view, {}, Qt::WidgetShortcut);
  clearListAction = make(QStringLiteral("清空列表"), view, {}, Qt::WidgetShortcut);
  exportAction = make(QStringLiteral("导出结果…"), window, QKeySequence(QStringLiteral("Ctrl+E")),
                      Qt::WindowShortcut);
  exportFailedAction = make(QStringLiteral("导出失败地址…"), view, {}, Qt::WidgetShortcut);

  menu_->addAction(pauseAction);
  menu_->addAction(stopAction);
  menu_->addAction(startHereAction);
  menu_->addSeparator();
  menu_->addAction(clearStatusAction);
  menu_->addAction(deleteAction);
  menu_->addAction(clearListAction);
  menu_->addSeparator();
  menu_->addAction(exportAction);
  menu_->addAction(exportFailedAction);

  // Esc stops too, but only where it cannot mean anything else: in the list.
  auto* escape =
      new QShortcut(QKeySequence(Qt::Key_Escape), view, nullptr, nullptr, Qt::WidgetShortcut);
  connect(escape, &QShortcut::activated, stopAction, &QAction::trigger);
  auto* del =
      new QShortcut(QKeySequence(QKeySequence::Delete), view, nullptr, nullptr, Qt::WidgetShortcut);
  connect(del, &QShortcut::activated, this, &AddressListMenu::deleteSelected);

  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view, &QWidget::customContextMenuRequested, this, &AddressListMenu::showAt);
  connect(menu_, &QMenu::aboutToShow, this, &AddressListMenu::refresh);
  connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressListMenu::refresh);
  connect(view->model(), &QAbstractItemModel::rowsInserted, this, &AddressListMenu::refresh);
  connect(view->model(), &QAbstractItemModel::rowsRemoved, this, &AddressListMenu::refresh);
  connect(view->model(), &QAbstractItemModel::modelReset, this, &AddressListMenu::refresh);
  connect(&engine_, &ShareEngine::pausedChanged, this, &AddressListMenu::refresh);
  connect(&engine_, &ShareEngine::passStarted, this, &AddressListMenu::refresh);
  connect(&engine_, &ShareEngine::runEnded, this, &AddressListMenu::refresh);
  connect(&failed_, &FailedAddresses::changed, this, &AddressListMenu::refresh);

  connect(pauseAction, &QAction::triggered, this, [this] {
    if (engine_.isPaused()) {
      engine_.resume();
    } else {
      engine_.pause();
    }
  });
  connect(stopAction, &QAction::triggered, &engine_, &ShareEngine::requestStop);
  connect(startHereAction, &QAction::triggered, this, [this] {
    const QList<int> rows = selectedRows();
    if (rows.size() == 1) engine_.startAt(rows.first());
  });
  connect(clearStatusAction, &QAction::triggered, this,
          [this] { actions_.clearStatus(selectedRows()); });
  connect(deleteAction, &QAction::triggered, this, &AddressListMenu::deleteSelected);
  connect(clearListAction, &QAction::triggered, this, [this] {
    const QString refused = actions_.clearList(engine_.isRunning());
    if (!refused.isEmpty()) progress_->setText(refused);
  });
  connect(exportAction, &QAction::triggered, this, [this] { actions_.exportResults(); });
  connect(exportFailedAction, &QAction::triggered, this,
          [this] { actions_.exportFailed(failed_.addresses()); });
  refresh();
}

void AddressListMenu::deleteSelected() {
  const QString refused = actions_.deleteRows(selectedRows(), engine_.isRunning());
  if (!refused.isEmpty()) progress_->setText(refused);
}

QList<int> AddressListMenu::selectedRows() const {
  QList<int> rows;
  for (const QModelIndex& index : view_->selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

void AddressListMenu::refresh() {
  ListSituation s;
  s.running = engine_.isRunning();
  s.paused = engine_.isPaused();
  s.rowCount = view_->model()->rowCount();
  s.selectedRows = static_cast<int>(view_->selectionModel()->selectedRows().size());
  s.failedCount = failed_.count();
  const ListActionState a = listActionState(s);
  pauseAction->setText(a.resume ? QStringLiteral("继续") : QStringLiteral("暂停"));
  pauseAction->setEnabled(a.pause || a.resume);
  stopAction->setEnabled(a.stop);
  startHereAction->setEnabled(a.startHere);
  clearStatusAction->setEnabled(a.clearStatus);
  deleteAction->setEnabled(a.deleteRows);
  clearListAction->setEnabled(a.clearList);
  exportAction->setEnabled(a.exportResults);
  exportFailedAction->setEnabled(a.exportFailed);
}

void AddressListMenu::showAt(const QPoint& position) {
  menu_->popup(view_->viewport()->mapToGlobal(position));
}

}  // namespace quillet
