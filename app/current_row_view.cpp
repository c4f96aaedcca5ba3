#include "app/current_row_view.h"

#include <QItemSelectionModel>
#include <QPointer>
#include <QTreeView>

#include "share/share_engine.h"

namespace quillet {

void followCurrentRow(ShareEngine& engine, QTreeView* view) {
  const QPointer<QTreeView> guarded(view);
  const auto show = [guarded](int row) {
    if (!guarded || guarded->model() == nullptr) return;
    const QModelIndex index = guarded->model()->index(row, 0);
    if (!index.isValid()) return;
    guarded->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    guarded->scrollTo(index, QAbstractItemView::EnsureVisible);
  };
  // The address of a row going in is the row the pass works on now (a wrong
  // address moves on to the next one without a new pass step).
  QObject::connect(&engine, &ShareEngine::addressEntered, view, show);
  QObject::connect(&engine, &ShareEngine::passStarted, view, show);
}

}  // namespace quillet
