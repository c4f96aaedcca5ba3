#include "app/tab_control.h"

#include <QEvent>
#include <QStackedWidget>
#include <QTabBar>

namespace quillet {

bool TabControl::event(QEvent* event) {
  const bool handled = QTabWidget::event(event);
  // QTabWidget lays its page stack out below the tab strip on these events;
  // stretch it back over the whole control each time.
  switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::LayoutRequest:
    case QEvent::StyleChange:
    case QEvent::FontChange:
      coverWholeControl();
      break;
    default:
      break;
  }
  return handled;
}

void TabControl::coverWholeControl() {
  if (auto* stack = findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    stack->setGeometry(rect());
    tabBar()->raise();
  }
}

}  // namespace quillet
