#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "config/account_settings.h"
#include "config/proxy_address.h"
#include "site/site_profile.h"

namespace quillet {

/// What the command line and the environment decide for one run.
struct AppConfig {
  QString siteBase;         // scheme and host of the share site, no trailing slash
  QString dataDir;          // where the remembered-account files live
  QString stateDir;         // where the journal and the browser engine's profile live
  QString profilePath;      // --profile: the site profile file; empty: site.toml in dataDir, if any
  SiteProfile profile;      // read from the profile file by loadProfileForWindow(); siteBase unused
  QString accountName;      // --account: the named account in use; empty: none
  AccountSettings account;  // that account's settings
  std::optional<ProxyAddress> proxy;  // the account's proxy; nothing: direct
  bool exitNow = false;
  int exitCode = 0;
  QString message;  // --help / --version text, or the reason for a bad command line
};

/// The demo share site's address, used when neither --site nor QUILLET_SITE says otherwise.
inline constexpr char kDefaultSiteBase[] = "http://127.0.0.1:8421";

/// Parses `arguments` (argv, program name first). `programDir` is the folder of
/// the executable: run from a writable folder (a build tree), everything lives
/// there; installed, the account files go to $XDG_CONFIG_HOME/quillet and the
/// state to $XDG_STATE_HOME/quillet. --data-dir puts everything in one folder.
/// --account NAME uses the account's folders below $XDG_CONFIG_HOME/quillet/accounts
/// and $XDG_STATE_HOME/quillet/accounts, wherever the program runs from, and
/// its site (unless --site says otherwise) and proxy.
/// `commandsHelp` ends the --help text (the subcommands the entry point knows).
AppConfig parseAppConfig(const QStringList& arguments, const QString& programDir,
                         const QString& commandsHelp = {});

/// A site address as typed ("share.test", "http://share.test/") in the form
/// kept: with a scheme, without a trailing slash.
QString normalisedSiteBase(QString site);
/// True for an http or https address with a host.
bool isValidSiteBase(const QString& site);

/// The folder chosen for the remembered-account files when --data-dir is not given.
QString defaultDataDir(const QString& programDir);

/// The folder chosen for the journal and the browser profile when --data-dir is not given.
QString defaultStateDir(const QString& programDir);

}  // namespace quillet
