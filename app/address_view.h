#pragma once

class QTreeView;

namespace quillet {

class AddressListModel;

/// Shows the list in report form: the list's column widths, no tree
/// decoration, uniform row heights (so that a million rows scroll freely).
void configureAddressView(QTreeView* view, AddressListModel* model);

}  // namespace quillet
