#include "tests/doubles/recording_dialogs.h"

namespace quillet {

QString RecordingDialogs::getOpenFileName() {
  ++fileDialogCount_;
  return fileNames_.isEmpty() ? QString() : fileNames_.takeFirst();
}

void RecordingDialogs::information(const QString& title, const QString& text) {
  messages_.append(Message{title, text, false});
  if (onMessage_) onMessage_(messages_.last());
}

void RecordingDialogs::warning(const QString& title, const QString& text) {
  messages_.append(Message{title, text, true});
  if (onMessage_) onMessage_(messages_.last());
}

bool RecordingDialogs::question(const QString& title, const QString& text) {
  messages_.append(Message{title, text, false, true});
  if (onMessage_) onMessage_(messages_.last());
  return answers_.isEmpty() || answers_.takeFirst();
}

QString RecordingDialogs::getSaveFileName(const QString& /*caption*/, const QString& suggestedPath,
                                          const QString& /*filter*/) {
  ++saveDialogCount_;
  lastSuggested_ = suggestedPath;
  return saveNames_.isEmpty() ? QString() : saveNames_.takeFirst();
}

}  // namespace quillet
