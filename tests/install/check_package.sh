#!/usr/bin/env bash
# Builds the Debian package (scripts/build-package.sh) and checks it: its file list, and the
# library dependencies that dpkg-shlibdeps must have found. Not part of the default test run: the
# package needs a build of its own, several minutes on a small machine.
# usage: check_package.sh [PACKAGE.deb]   (without an argument, builds one first)
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=${1:-}
if [ -z "$deb" ]; then
  scripts/build-package.sh
  deb=$(ls -1t build/package/quenda-ipod_*.deb | head -n 1)
fi
status=0
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/quenda-ipod ./usr/bin/quenda-ipod-cli ./usr/bin/quenda-mdb-reader \
  ./usr/lib/x86_64-linux-gnu/quenda-ipod/quenda-cli-verbs.so \
  ./usr/lib/x86_64-linux-gnu/quenda-ipod/quenda-cli-split.so \
  ./usr/share/applications/org.quenda.Ipod.desktop \
  ./usr/share/metainfo/org.quenda.Ipod.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/org.quenda.Ipod.svg \
  ./usr/share/icons/hicolor/48x48/apps/org.quenda.Ipod.png \
  ./usr/share/man/man1/quenda-ipod-cli.1 \
  ./usr/share/bash-completion/completions/quenda-ipod-cli; do
  grep -qxF "$f" <<<"$files" || { echo "the package lacks $f"; status=1; }
done
# Nothing outside /usr, and no build-tree leftovers such as tests.
if grep -v '^\./usr/' <<<"$files" | grep -qv '^\./$'; then
  echo "the package installs outside /usr:"; grep -v '^\./usr/' <<<"$files"; status=1
fi
if grep -q 'test' <<<"$files"; then
  echo "the package carries test files"; status=1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6widgets6 libqt6sql6 libmdb3 libqt6sql6-sqlite qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib: $depends"; status=1; }
done
[ $status -eq 0 ] && echo "package $deb: files and dependencies as expected"
exit $status
