#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need. Quick and quiet
# when everything is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libgtest-dev libgmock-dev
  sqlite3 clang-format git
  mdbtools-dev libzip-dev
  desktop-file-utils appstream
)
packages+=(libsqlite3-dev) # the contact import binds its rows through the library directly
packages+=(python3-vobject) # an independent reader of the vCards the program writes (tests)
packages+=(python3-dbusmock dbus) # the player tests play UDisks2 on a private bus
if [ "${1:-}" = "--bench" ]; then
  packages+=(hyperfine jq python3 unrtf clang libclang-rt-14-dev)
  packages+=(time) # /usr/bin/time: peak memory of the import benchmark
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
