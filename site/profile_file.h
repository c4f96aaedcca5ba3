#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "site/site_profile.h"

namespace quillet {

/// The outcome of reading a site profile file: the profile, or every reason
/// it was refused, one "FILE:LINE: key must be ..." line each.
struct ProfileLoad {
  std::optional<SiteProfile> profile;
  QStringList errors;

  bool ok() const { return profile.has_value(); }
  /// The errors as one text, a line each.
  QString errorText() const { return errors.join(u'\n'); }
};

/// Reads a TOML site profile from `text`; `fileName` names it in the error
/// messages. Keys the text leaves out keep their built-in values; the site's
/// address is not part of the file (it comes from --site). A syntax error,
/// an unknown key, a value of the wrong type, a position below 1, an empty
/// text or an empty comment pool refuses the whole file.
ProfileLoad parseSiteProfile(const QByteArray& text, const QString& fileName);

/// Reads the profile file at `path` (refused when it cannot be read).
ProfileLoad loadSiteProfileFile(const QString& path);

/// The profile in force for a run: the file given with --profile
/// (`explicitPath`), else "site.toml" in `dataDir` when it exists, else the
/// built-in profile.
ProfileLoad loadSiteProfile(const QString& explicitPath, const QString& dataDir);

/// The name of the profile file looked for in the data folder.
inline constexpr char kProfileFileName[] = "site.toml";

/// The built-in profile as a commented TOML file, a starting point for a
/// user's own; reading it back gives the built-in profile.
QString defaultProfileToml();

/// `profile` as a commented TOML file in the same layout (its site address
/// left out, as in every profile file).
QString profileToml(const SiteProfile& profile);

}  // namespace quillet
