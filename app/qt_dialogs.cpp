#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quillet {

QString QtDialogs::getOpenFileName() {
  return QFileDialog::getOpenFileName(parent_);
}

void QtDialogs::information(const QString& title, const QString& text) {
  QMessageBox::information(parent_, title, text);
}

void QtDialogs::warning(const QString& title, const QString& text) {
  QMessageBox::warning(parent_, title, text);
}

bool QtDialogs::question(const QString& title, const QString& text) {
  return QMessageBox::question(parent_, title, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

QString QtDialogs::getSaveFileName(const QString& caption, const QString& suggestedPath,
                                   const QString& filter) {
  return QFileDialog::getSaveFileName(parent_, caption, suggestedPath, filter);
}

}  // namespace quillet
