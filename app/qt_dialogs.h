#pragma once

#include <QPointer>
#include <QWidget>

#include "app/dialogs.h"

namespace quillet {

/// The real dialogs: QFileDialog and QMessageBox, over the window given as
/// their parent (none: they stand alone).
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  QString getOpenFileName() override;
  void information(const QString& title, const QString& text) override;
  void warning(const QString& title, const QString& text) override;
  bool question(const QString& title, const QString& text) override;
  QString getSaveFileName(const QString& caption, const QString& suggestedPath,
                          const QString& filter) override;

 private:
  // The window may go before the dialogs do.
  QPointer<QWidget> parent_;
};

}  // namespace quillet
