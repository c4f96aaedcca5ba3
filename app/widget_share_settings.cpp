#include "app/widget_share_settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

namespace quillet {

WidgetShareSettings::WidgetShareSettings(QLineEdit* period, QCheckBox* loop, QCheckBox* addComment,
                                         QListWidget* pool)
    : period_(period), loop_(loop), addComment_(addComment), pool_(pool) {}

std::optional<double> WidgetShareSettings::period() const {
  if (!period_) return std::nullopt;
  return periodFromText(period_->text());
}

bool WidgetShareSettings::loopSharing() const {
  return loop_ && loop_->isChecked();
}

bool WidgetShareSettings::addComment() const {
  return addComment_ && addComment_->isChecked();
}

QStringList WidgetShareSettings::comments() const {
  QStringList texts;
  if (!pool_) return texts;
  for (int i = 0; i < pool_->count(); ++i) texts << pool_->item(i)->text();
  return texts;
}

void WidgetShareSettings::apply(const PassSettings& settings) {
  if (period_ && settings.periodSeconds > 0)
    period_->setText(QString::number(settings.periodSeconds));
  if (loop_) loop_->setChecked(settings.loop);
  if (addComment_) addComment_->setChecked(settings.comment);
}

void WidgetShareSettings::focusPeriod() {
  if (period_) period_->setFocus(Qt::OtherFocusReason);
}

}  // namespace quillet
