#pragma once

#include <QPointer>

#include "share/share_settings.h"

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace quillet {

/// A publish page's fields as the sharing engine's settings, read at the
/// moment the engine needs them, so that a change during a pass takes effect
/// where the pass next reads it. A field that is gone reads as empty.
class WidgetShareSettings : public ShareSettings {
 public:
  WidgetShareSettings(QLineEdit* period, QCheckBox* loop, QCheckBox* addComment, QListWidget* pool);

  std::optional<double> period() const override;
  bool loopSharing() const override;
  bool addComment() const override;
  QStringList comments() const override;
  void focusPeriod() override;
  void apply(const PassSettings& settings) override;

 private:
  // The window may be torn down while a pass still waits.
  QPointer<QLineEdit> period_;
  QPointer<QCheckBox> loop_;
  QPointer<QCheckBox> addComment_;
  QPointer<QListWidget> pool_;
};

}  // namespace quillet
