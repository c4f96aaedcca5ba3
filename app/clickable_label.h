#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace quillet {

/// A label that reports presses of the left mouse button (the information
/// labels of the publish page act on the press, not on a click).
class ClickableLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 Q_SIGNALS:
  void leftPressed();

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) Q_EMIT leftPressed();
    QLabel::mousePressEvent(event);
  }
};

}  // namespace quillet
