#pragma once

#include <QString>

namespace quillet {

/// The systemd user timer quillet-run@NAME.timer starts an account's runs at
/// the time of day of the account's `time` key. systemd reads that time from
/// a drop-in of the timer in the user's unit folder,
/// $XDG_CONFIG_HOME/systemd/user/quillet-run@NAME.timer.d/time.conf, which
/// these calls keep in step with the key.

/// The drop-in's path for account `name`.
QString timerTimePath(const QString& name);

/// Writes the drop-in for `time` ("HH:MM"), or removes it when `time` is
/// empty (the timer's own default then holds). False, with `problem`, when
/// it cannot be written.
bool keepTimerTime(const QString& name, const QString& time, QString* problem);

}  // namespace quillet
