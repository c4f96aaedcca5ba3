#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, builds Quillet without
# its tests into build-package/ (or $QUILLET_BUILD_DIR) and runs CPack there.
# The .deb lands in that folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
export QUILLET_BUILD_DIR="${QUILLET_BUILD_DIR:-$root/build-package}"
"$root/scripts/build.sh" -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF
cd "$QUILLET_BUILD_DIR"
cpack -G DEB
ls -1 "$QUILLET_BUILD_DIR"/quillet_*.deb
