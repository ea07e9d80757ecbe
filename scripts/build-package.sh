#!/usr/bin/env bash
# Builds the Debian package into build/package/: a release build without tests, installed
# under /usr, packed by CPack with its library dependencies found by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUENDA_BUILD_TESTS=OFF
cmake --build build/package
(cd build/package && cpack -G DEB)
ls -1 build/package/*.deb
