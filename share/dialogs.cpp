#include "share/dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace quillet {

Dialogs::~Dialogs() = default;

bool Dialogs::question(QWidget* /*parent*/, const QString& /*title*/, const QString& /*text*/) {
  return false;
}

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

QString defaultMessageTitle() {
  const QString name = QGuiApplication::applicationDisplayName();
  return name.isEmpty() ? QStringLiteral("Quillet") : name;
}

}  // namespace quillet
