// The site profile reader over arbitrary file contents: the guard against deep keys and
// brackets, the TOML parser behind it, and the checks of every key. The profile is read at
// every start (site.toml in the data folder), so no text may crash or hang it.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "site/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const quillet::ProfileLoad load = quillet::parseSiteProfile(bytes, QStringLiteral("site.toml"));
  // Either a profile or the reasons it was refused, each naming the file and a line.
  if (load.ok() != load.errors.isEmpty()) std::abort();
  for (const QString& error : load.errors) {
    if (!error.startsWith(QLatin1String("site.toml:"))) std::abort();
  }
  // An accepted profile writes out as a file that reads back to the same profile.
  if (load.ok()) {
    const quillet::ProfileLoad again = quillet::parseSiteProfile(
        quillet::profileToml(*load.profile).toUtf8(), QStringLiteral("site.toml"));
    if (!again.ok() || again.profile->comments != load.profile->comments) std::abort();
  }
  return 0;
}
