#pragma once

#include <QLabel>
#include <QPointer>
#include <QString>

namespace quillet {

/// A label at the right end of a status-bar part, beside that part's own
/// text: it shows its text shortened (with "…") to the room the part's text
/// leaves, so the two never overlap, and the part's text stays the part's.
class StatusTallyLabel : public QLabel {
  Q_OBJECT

 public:
  /// Placed inside `part`, named "状态条1_统计".
  explicit StatusTallyLabel(QLabel* part);

  void setFullText(const QString& text);
  QString fullText() const { return full_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fit();

  QPointer<QLabel> part_;
  QString full_;
  QString partTextFitted_;
};

}  // namespace quillet
