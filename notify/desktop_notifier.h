#pragma once

#include <QString>

namespace quillet {

/// Desktop notifications through the session bus's notification service
/// (org.freedesktop.Notifications), for when the program needs the user while
/// its window is out of sight. Silent when there is no session bus or no
/// service answers, and never waits for the service: the call goes out
/// asynchronously and its answer is not read.
class DesktopNotifier {
 public:
  /// `appName` names the program to the service; `icon` is an icon name of
  /// the desktop's theme.
  explicit DesktopNotifier(QString appName = QStringLiteral("Quillet"),
                           QString icon = QStringLiteral("quillet"));

  /// Shows `summary` and `body` (plain text) for the service's default time.
  /// True when the call was handed to the session bus (whether a service then
  /// shows it is up to the desktop); false when there is no bus to send it on
  /// or no application object to own the connection.
  bool notify(const QString& summary, const QString& body) const;

 private:
  QString appName_;
  QString icon_;
};

}  // namespace quillet
