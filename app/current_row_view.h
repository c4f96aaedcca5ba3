#pragma once

class QTreeView;

namespace quillet {

class ShareEngine;

/// Keeps the row a pass works on selected and scrolled into view in `view`,
/// so that a long list shows where the pass is.
void followCurrentRow(ShareEngine& engine, QTreeView* view);

}  // namespace quillet
