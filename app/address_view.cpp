#include "app/address_view.h"

#include <QHeaderView>
#include <QTreeView>

#include "share/address_list_model.h"

namespace quillet {

void configureAddressView(QTreeView* view, AddressListModel* model) {
  view->setModel(model);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setItemsExpandable(false);
  view->header()->setStretchLastSection(false);
  for (int column = 0; column < static_cast<int>(kAddressColumnWidths.size()); ++column) {
    view->setColumnWidth(column, kAddressColumnWidths[static_cast<std::size_t>(column)]);
  }
}

}  // namespace quillet
