#pragma once

#include <QFrame>

class QLabel;

namespace quillet {

/// A small rich-text popup with clickable links, shown at a screen position
/// and closed by a click anywhere else (the balloon tip of the main window).
class BalloonTip : public QFrame {
  Q_OBJECT

 public:
  explicit BalloonTip(QWidget* parent = nullptr);

  void showHtml(const QString& html, const QPoint& globalPos);
  QString html() const;

 private:
  QLabel* text_;
  QString html_;
};

}  // namespace quillet
