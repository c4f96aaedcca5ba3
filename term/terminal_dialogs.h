#pragma once

#include <QString>

#include "share/dialogs.h"

namespace quillet::term {

/// The engine's message boxes in a terminal: each message goes to standard
/// error as a line; there is no file to choose (files come from the command
/// line).
class TerminalDialogs : public Dialogs {
 public:
  QString getOpenFileName() override;
  void information(const QString& title, const QString& text) override;
  void warning(const QString& title, const QString& text) override;
  QString getSaveFileName(const QString& caption, const QString& suggestedName,
                          const QString& filter) override;

  /// How many messages were shown.
  int shown() const { return shown_; }

 private:
  int shown_ = 0;
};

}  // namespace quillet::term
