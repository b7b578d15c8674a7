#!/usr/bin/env bash
# Builds if needed, then renders the main window on each option tab (with the options off
# and with every group switch on), at its minimum size, the dialogs, and the main window,
# its menus, dialogs, About and splash in Danish, German and English, under a
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
# A few dozen more files of common types and sizes, some hidden or read-only, so that
# every column and several type icons have something to show.
exts=(jpg png pdf txt mp3 ogg docx odt zip tar.gz html cpp sh csv)
for i in $(seq 1 36); do
  ext=${exts[$(( i % ${#exts[@]} ))]}
  head -c $(( i * i * 997 )) /dev/zero >"$work/files/sample_$(printf %02d "$i").$ext"
done
: >"$work/files/.hidden_settings"
chmod a-w "$work"/files/sample_03.*
touch -d "2024-02-29 13:45:10" "$work"/files/sample_05.*

# A folder big enough for adding it to take more than half a second; its files are then
# renamed through the window, for the progress window and the closing message.
mkdir -p "$work/big"
(cd "$work/big" && seq -f "file_%06g.txt" 1 150000 | xargs touch)

# Photos whose new names the run would not all give: "2024 dunes - 3.jpg" is there
# already (and not listed).
mkdir -p "$work/marks"
for f in beach canal dunes forest harbour lake market sunset; do : >"$work/marks/$f.jpg"; done
: >"$work/marks/2024 dunes - 3.jpg"

cd "$work/files"
QUILLMARK_NO_SPLASH_WAIT=1 QUILLMARK_SHOTS_BIG_FOLDER="$work/big" QUILLMARK_SHOTS_MARKS_FOLDER="$work/marks" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_CONFIG_DIRS="$work/xdg" XDG_RUNTIME_DIR="$work/runtime" \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$OLDPWD/build/bin/quillmark-shots" "$out" ./* ./.hidden_settings

# The program itself, as a user starts it the first time, on the whole virtual screen.
mkdir -p "$work/config2"
XDG_CONFIG_HOME="$work/config2" XDG_STATE_HOME="$work/state2" XDG_CONFIG_DIRS="$work/xdg" XDG_RUNTIME_DIR="$work/runtime" \
  xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    "$1" ./* & pid=$!
    sleep 1
    import -window root "$2/program-splash.png"
    sleep 2
    import -window root "$2/program-start.png"
    kill "$pid"; wait "$pid" 2>/dev/null || true' _ "$OLDPWD/build/bin/quillmark" "$out"
echo "$out/program-splash.png"
echo "$out/program-start.png"
