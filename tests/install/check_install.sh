#!/usr/bin/env bash
# Installs a finished build into a temporary prefix and checks what a user's system would get:
# every file in its place, the menu entry and the software-centre description valid (when the
# validators are installed), the completion offering the verbs, and the installed tool keeping
# its database in the user's data folder.
# usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=$root/usr
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
expect() {
  if [ ! -e "$prefix/$1" ]; then
    echo "missing from the installed tree: $1"
    status=1
  fi
}
expect bin/quenda-ipod
expect bin/quenda-ipod-cli
expect bin/quenda-mdb-reader
expect share/applications/org.quenda.Ipod.desktop
expect share/metainfo/org.quenda.Ipod.metainfo.xml
expect share/icons/hicolor/scalable/apps/org.quenda.Ipod.svg
for size in 16 24 32 48 64 128 256; do
  expect "share/icons/hicolor/${size}x${size}/apps/org.quenda.Ipod.png"
done
expect share/man/man1/quenda-ipod-cli.1
expect share/bash-completion/completions/quenda-ipod-cli

desktop=$prefix/share/applications/org.quenda.Ipod.desktop
if [ -e "$desktop" ]; then
  # The menu entry must start the installed program and name the installed icon.
  exec_line=$(grep -m1 '^Exec=' "$desktop" | cut -d= -f2-)
  [ -x "$prefix/bin/${exec_line%% *}" ] || { echo "Exec= names no installed program: $exec_line"; status=1; }
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -e "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "Icon= names no installed icon: $icon"; status=1; }
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || status=1
  fi
  # Each action of the entry (right-click on the launcher) opens a function the program knows,
  # and a function it does not know is a usage error rather than a silent start.
  program=$prefix/bin/quenda-ipod
  help=$(QT_QPA_PLATFORM=offscreen "$program" --help 2>/dev/null)
  actions=$(sed -n 's/^Actions=//p' "$desktop" | tr ';' ' ')
  opened=$(sed -n 's/^Exec=quenda-ipod --open //p' "$desktop")
  [ "$(echo $actions | wc -w)" -gt 0 ] && [ "$(echo $opened | wc -w)" = "$(echo $actions | wc -w)" ] ||
    { echo "desktop actions: $actions; functions: $opened"; status=1; }
  for word in $opened; do
    echo "$help" | grep -qw -- "$word" || { echo "a desktop action opens no function: $word"; status=1; }
  done
  rc=0
  QT_QPA_PLATFORM=offscreen QUENDA_PROGRAM_DIR=$root/nowhere "$program" --open nothing 2>/dev/null || rc=$?
  [ $rc = 2 ] || { echo "--open with an unknown function did not fail with status 2"; status=1; }
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/org.quenda.Ipod.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net "$prefix/share/metainfo/org.quenda.Ipod.metainfo.xml"; status=1; }
fi
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/quenda-ipod-cli.1" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || { echo "manual page: $warnings"; status=1; }
fi

# Completion: the first word offers the tool's verbs.
verbs=$(PATH=$prefix/bin:$PATH bash -c '
  source "$1"
  COMP_WORDS=(quenda-ipod-cli sp); COMP_CWORD=1; _quenda_ipod_cli; echo "${COMPREPLY[*]}"
  COMP_WORDS=(quenda-ipod-cli ""); COMP_CWORD=1; _quenda_ipod_cli; echo "${COMPREPLY[*]}"
' _ "$prefix/share/bash-completion/completions/quenda-ipod-cli")
first=$(echo "$verbs" | sed -n 1p)
all=$(echo "$verbs" | sed -n 2p)
[ "$first" = "split" ] || { echo "completion of 'sp' gave '$first'"; status=1; }
for v in init send-ipod notes split; do
  case " $all " in *" $v "*) ;; *) echo "completion lacks the verb $v: $all"; status=1 ;; esac
done

# The installed tool, with no override and no database beside it, keeps its data in the
# user's data folder and creates that folder itself.
out=$(env -u QUENDA_PROGRAM_DIR HOME="$root/home" XDG_DATA_HOME="$root/data" \
  QUENDA_DESKTOP_DIR="$root/desk" "$prefix/bin/quenda-ipod-cli" init)
if [ ! -f "$root/data/quenda/QUENDADATA.Dll" ]; then
  echo "init did not create the database in the data folder: $out"
  status=1
fi
if [ -e "$prefix/bin/QUENDADATA.Dll" ]; then
  echo "init wrote its database beside the installed executable"
  status=1
fi
exit $status
