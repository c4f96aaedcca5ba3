#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace quillet {

QString QtDialogs::getOpenFileName(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent);
}

void QtDialogs::information(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::information(parent, title, text);
}

void QtDialogs::warning(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::warning(parent, title, text);
}

bool QtDialogs::question(QWidget* parent, const QString& title, const QString& text) {
  return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

QString QtDialogs::getSaveFileName(QWidget* parent, const QString& caption,
                                   const QString& suggestedPath, const QString& filter) {
  return QFileDialog::getSaveFileName(parent, caption, suggestedPath, filter);
}

}  // namespace quillet
