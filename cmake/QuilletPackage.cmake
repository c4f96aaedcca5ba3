# The Debian package, built by CPack from the install rules:
#   cmake --build build --target package   (or: cd build && cpack -G DEB)
# dpkg-shlibdeps computes the dependencies from the libraries the programs link
# (the browser engine's helper program comes with them).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "Quillet developers")
set(CPACK_PACKAGE_CONTACT "Quillet developers <quillet@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quillet.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "share item pages on a shopping-share site")
# Debian wants the description's lines within 80 columns; CPack keeps them as written.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Quillet shares item pages on a social shopping-share site under your own"
  "account, one after another, at a set period and optionally with a random"
  "comment. It signs in and works the site's pages in a hidden embedded"
  "browser, writes the outcome of each address into its list, can start over"
  "at the end of the list and sends failed addresses again."
  ""
  "The package also holds quillet-cli, Quillet's HTTP engine and text"
  "conversions for a terminal, and quillet-demo-site, a local share site for"
  "trying Quillet out.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's texts are Chinese, and so are Qt's own dialogs with their translations.
# QtKeychain (a dependency through dpkg-shlibdeps) loads libsecret at run time to
# reach the desktop's keyring; without it the remembered password stays in a file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, libsecret-1-0")

# package_source: the tracked sources only, never a build tree or the history.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "/out/")

include(CPack)
