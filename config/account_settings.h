#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillet {

/// One account's settings file, `account.conf` in the account's config
/// folder: one `key = value` a line, `#` starts a comment line. Every value
/// is kept as text, checked when read and when set.
struct AccountSettings {
  QString site;    // the share site's base address
  QString proxy;   // proxy address (see proxy_address.h)
  QString list;    // the address file `quillet run` shares, an absolute path
  QString period;  // seconds per address
  QString jitter;  // a random 0 to S seconds more per address
  bool loop = false;
  bool comment = false;
  QString time;  // HH:MM, when the account's systemd timer starts a run

  /// The keys, in the order the file lists them.
  static const QStringList& keys();
  /// Sets `key` to `value` (an empty value clears it). Empty when done; else
  /// the reason, with what the key takes.
  QString set(const QString& key, const QString& value);
  /// The text of `key`, as the file holds it ("" when not set).
  QString value(const QString& key) const;
  /// The file's text.
  QString fileText(const QString& accountName) const;
};

/// The settings in `path`. Nothing, with `problem` saying file:line and
/// why, when the file cannot be read or holds something it should not.
std::optional<AccountSettings> readAccountSettings(const QString& path, QString* problem);

/// The settings in a file's `bytes`; `path` names the file in `problem`.
std::optional<AccountSettings> parseAccountSettings(const QByteArray& bytes, const QString& path,
                                                    QString* problem);

/// Replaces `path` with `settings` in one step (never half written).
bool writeAccountSettings(const QString& path, const QString& accountName,
                          const AccountSettings& settings, QString* problem);

/// $XDG_CONFIG_HOME/quillet/accounts: one folder of settings per account.
QString accountsConfigRoot();
/// $XDG_STATE_HOME/quillet/accounts: one folder of state (journal, browser
/// session) per account.
QString accountsStateRoot();
QString accountConfigDir(const QString& name);
QString accountStateDir(const QString& name);
/// The settings file of account `name`.
QString accountSettingsPath(const QString& name);
/// The names of the accounts that have a settings file, sorted.
QStringList accountNames();

}  // namespace quillet
