#pragma once

#include <QTabWidget>

namespace quillet {

/// A tab control whose pages cover the whole control, tab strip included,
/// so that a page's controls are placed relative to the control's top-left
/// corner, as the window layout gives them. The tab strip stays on top.
class TabControl : public QTabWidget {
  Q_OBJECT

 public:
  using QTabWidget::QTabWidget;

 protected:
  bool event(QEvent* event) override;

 private:
  void coverWholeControl();
};

}  // namespace quillet
