#pragma once

class QCoreApplication;

namespace quillet {

/// Loads Qt's own translations (the file dialogs, the message boxes' buttons,
/// the text fields' menus) in Chinese: the system's Chinese variant when it
/// uses one, else Simplified Chinese, as the window is. False when the
/// translation files are not installed; Qt's English texts stay then.
bool loadQtTranslations(QCoreApplication& application);

}  // namespace quillet
