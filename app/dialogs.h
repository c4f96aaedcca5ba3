#pragma once

#include <QString>

#include "share/message_title.h"

namespace quillet {

/// The window's modal dialogs (message boxes, questions and file dialogs),
/// behind one seam so that tests can answer them without a person.
class Dialogs {
 public:
  virtual ~Dialogs();

  /// The open-file dialog: no filter, the default title, no initial
  /// directory. Returns the chosen path, or an empty string when cancelled.
  virtual QString getOpenFileName() = 0;

  /// A message box with an OK button and the information icon.
  virtual void information(const QString& title, const QString& text) = 0;

  /// A message box with an OK button and the warning icon.
  virtual void warning(const QString& title, const QString& text) = 0;

  /// A question with the buttons Yes and No (No the default): true for Yes.
  /// Without a person to ask, nothing is given up: false.
  virtual bool question(const QString& title, const QString& text);

  /// The save-file dialog, offering `suggestedPath` and the type `filter`
  /// (QFileDialog's filter syntax). The chosen path, or empty when cancelled.
  virtual QString getSaveFileName(const QString& caption, const QString& suggestedPath,
                                  const QString& filter) = 0;
};

}  // namespace quillet
