#include "app/status_tally_label.h"

#include <QEvent>
#include <QFontMetrics>

namespace quillet {
namespace {

// Room kept free between the part's text and the tally.
constexpr int kGap = 12;

}  // namespace

StatusTallyLabel::StatusTallyLabel(QLabel* part) : QLabel(part), part_(part) {
  setObjectName(QStringLiteral("状态条1_统计"));
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // The part's text is set from many places; its repaint is when it changed.
  part->installEventFilter(this);
  fit();
}

void StatusTallyLabel::setFullText(const QString& text) {
  full_ = text;
  fit();
}

bool StatusTallyLabel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == part_ && (event->type() == QEvent::Resize ||
                           (event->type() == QEvent::Paint && part_->text() != partTextFitted_))) {
    fit();
  }
  return QLabel::eventFilter(watched, event);
}

void StatusTallyLabel::fit() {
  if (!part_) return;
  partTextFitted_ = part_->text();
  const QFontMetrics metrics(font());
  const int used =
      part_->text().isEmpty() ? 0 : part_->fontMetrics().horizontalAdvance(part_->text()) + kGap;
  const int room = std::max(0, part_->width() - used);
  const QString shown = metrics.elidedText(full_, Qt::ElideRight, room);
  setText(shown);
  const int width = std::min(room, metrics.horizontalAdvance(shown) + 2);
  setGeometry(part_->width() - width, 0, width, part_->height());
  setVisible(!shown.isEmpty());
}

}  // namespace quillet
