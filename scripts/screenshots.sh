#!/usr/bin/env bash
# Builds if needed, then renders the main window on each option tab (with the options off
# and with every group switch on), at its minimum size, and the scheme dialog, under a
# virtual X display with a private, temporary settings folder and a few sample files.
# The pictures go to build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target quillmark quillmark-shots lang_files

out="$PWD/build/screenshots"
rm -rf "$out"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/xdg" "$work/runtime" "$work/files"
chmod 700 "$work/runtime"
for f in "holiday_photo 001.jpg" "Holiday_Photo 002.jpg" "notes%20march.txt" "report.final.pdf"; do
  : >"$work/files/$f"
done

cd "$work/files"
XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/xdg" XDG_RUNTIME_DIR="$work/runtime" \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$OLDPWD/build/bin/quillmark-shots" "$out" ./*

# The program itself, as a user starts it the first time, on the whole virtual screen.
mkdir -p "$work/config2"
XDG_CONFIG_HOME="$work/config2" XDG_CONFIG_DIRS="$work/xdg" XDG_RUNTIME_DIR="$work/runtime" \
  xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    "$1" ./* & pid=$!
    sleep 3
    import -window root "$2/program-start.png"
    kill "$pid"; wait "$pid" 2>/dev/null || true' _ "$OLDPWD/build/bin/quillmark" "$out"
echo "$out/program-start.png"
