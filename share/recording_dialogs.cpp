#include "share/recording_dialogs.h"

namespace quillet {

QString RecordingDialogs::getOpenFileName(QWidget* /*parent*/) {
  ++fileDialogCount_;
  return fileNames_.isEmpty() ? QString() : fileNames_.takeFirst();
}

void RecordingDialogs::information(QWidget* /*parent*/, const QString& title, const QString& text) {
  messages_.append(Message{title, text});
  if (onMessage_) onMessage_(messages_.last());
}

}  // namespace quillet
