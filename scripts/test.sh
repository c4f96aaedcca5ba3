#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DQUILLET_TESTS=ON -DQUILLET_WERROR=ON
cd "${QUILLET_BUILD_DIR:-$root/build}"
# No display is needed: GUI tests run on Qt's offscreen platform.
unset DISPLAY
ctest --output-on-failure --timeout 600 -j "$(nproc)"
