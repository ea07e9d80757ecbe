#!/usr/bin/env bash
# Takes the README's screenshots again: the main window, and each function window opened the
# way the organizer suite opens it (a start-up keyword left in the database), on a fresh
# database under Xvfb. Writes docs/screenshots/*.png.
# usage: scripts/screenshots.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUENDA_PROGRAM_DIR=$work/program QUENDA_DESKTOP_DIR=$work/Desktop HOME=$work/home
mkdir -p "$HOME"
# A player plugged in, for the main window's player panel.
mkdir -p "$work/Player/iPod_Control/Device"
printf 'ModelNumStr: xA623\n' > "$work/Player/iPod_Control/Device/SysInfo"
export QUENDA_PLAYER_ROOTS=$work/Player
"$build/src/quenda-ipod-cli" --quiet init

shoot() { # shoot NAME [KEYWORD]
  if [ -n "${2:-}" ]; then
    "$build/src/quenda-ipod-cli" keyword "$2"
  fi
  xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    "$1" & pid=$!
    sleep 4
    import -window root "$2"
    kill $pid; wait $pid 2>/dev/null || true
  ' _ "$build/src/quenda-ipod" "$work/$1.png"
  # Only the part of the screen the windows use.
  convert "$work/$1.png" -trim +repage "$out/$1.png"
  echo "$out/$1.png"
}

shoot main
shoot contacts sendtoipod
shoot export-vcf exportquendacontacttovcf
shoot notes notes
shoot pictures sendtoipodph
shoot file-copier filecopier
shoot text-file textfile
