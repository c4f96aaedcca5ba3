#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "share/dialogs.h"

namespace quillet {

/// Dialogs answered by a script instead of a person: the open-file dialog
/// returns the queued file names in turn (empty = cancelled once the queue
/// is empty) and message boxes are recorded instead of shown.
class RecordingDialogs : public Dialogs {
 public:
  struct Message {
    QString title;
    QString text;
  };

  void setNextFileName(const QString& fileName) { fileNames_.append(fileName); }

  /// Runs while a message box would be open (to look at the window then).
  void setOnMessage(std::function<void(const Message&)> hook) { onMessage_ = std::move(hook); }

  QString getOpenFileName(QWidget* parent) override;
  void information(QWidget* parent, const QString& title, const QString& text) override;

  int fileDialogCount() const { return fileDialogCount_; }
  const QList<Message>& messages() const { return messages_; }
  Message lastMessage() const { return messages_.isEmpty() ? Message{} : messages_.last(); }
  void clearMessages() { messages_.clear(); }

 private:
  QStringList fileNames_;
  QList<Message> messages_;
  std::function<void(const Message&)> onMessage_;
  int fileDialogCount_ = 0;
};

}  // namespace quillet
