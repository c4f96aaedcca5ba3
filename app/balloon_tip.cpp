#include "app/balloon_tip.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quillet {

BalloonTip::BalloonTip(QWidget* parent) : QFrame(parent, Qt::Popup) {
  setObjectName(QStringLiteral("气球提示框1"));
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  text_ = new QLabel(this);
  text_->setTextFormat(Qt::RichText);
  text_->setOpenExternalLinks(true);
  text_->setTextInteractionFlags(Qt::TextBrowserInteraction);
  text_->setForegroundRole(QPalette::ToolTipText);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 8, 10, 8);
  layout->addWidget(text_);
}

void BalloonTip::showHtml(const QString& html, const QPoint& globalPos) {
  html_ = html;
  // Keep runs of spaces in link texts ("Q     我") as written.
  text_->setText(QStringLiteral("<div style=\"white-space:pre\">%1</div>").arg(html));
  adjustSize();
  move(globalPos);
  show();
}

QString BalloonTip::html() const {
  return text_->text();
}

}  // namespace quillet
