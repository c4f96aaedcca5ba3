#pragma once

#include "share/dialogs.h"

namespace quillet {

/// The real dialogs: QFileDialog and QMessageBox.
class QtDialogs : public Dialogs {
 public:
  QString getOpenFileName(QWidget* parent) override;
  void information(QWidget* parent, const QString& title, const QString& text) override;
  void warning(QWidget* parent, const QString& title, const QString& text) override;
  bool question(QWidget* parent, const QString& title, const QString& text) override;
  QString getSaveFileName(QWidget* parent, const QString& caption, const QString& suggestedPath,
                          const QString& filter) override;
};

}  // namespace quillet
