#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/dialogs.h"

namespace quillet {

/// Dialogs answered by a script instead of a person: the open-file and
/// save-file dialogs return their queued file names in turn (empty =
/// cancelled once the queue is empty), questions their queued answers, and
/// message boxes and questions are recorded instead of shown.
class RecordingDialogs : public Dialogs {
 public:
  struct Message {
    QString title;
    QString text;
    bool warning = false;
    bool question = false;
  };

  void setNextFileName(const QString& fileName) { fileNames_.append(fileName); }
  void setNextSaveFileName(const QString& fileName) { saveNames_.append(fileName); }
  /// The answer to the next question (Yes once the queue is empty).
  void setNextAnswer(bool yes) { answers_.append(yes); }

  /// Runs while a message box would be open (to look at the window then).
  void setOnMessage(std::function<void(const Message&)> hook) { onMessage_ = std::move(hook); }

  QString getOpenFileName() override;
  void information(const QString& title, const QString& text) override;
  void warning(const QString& title, const QString& text) override;
  bool question(const QString& title, const QString& text) override;
  QString getSaveFileName(const QString& caption, const QString& suggestedPath,
                          const QString& filter) override;

  int fileDialogCount() const { return fileDialogCount_; }
  int saveDialogCount() const { return saveDialogCount_; }
  /// The path the latest save dialog offered.
  QString lastSuggestedPath() const { return lastSuggested_; }
  const QList<Message>& messages() const { return messages_; }
  Message lastMessage() const { return messages_.isEmpty() ? Message{} : messages_.last(); }
  void clearMessages() { messages_.clear(); }

 private:
  QStringList fileNames_;
  QStringList saveNames_;
  QList<bool> answers_;
  QString lastSuggested_;
  int saveDialogCount_ = 0;
  QList<Message> messages_;
  std::function<void(const Message&)> onMessage_;
  int fileDialogCount_ = 0;
};

}  // namespace quillet
