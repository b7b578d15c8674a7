#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and uses it as a user would: the commands
# through their links in bin/, the desktop files through their validators.
# Usage: install_tree.sh BUILD_DIR
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=/opt/quillmark-test
root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >/dev/null
top="$root$prefix"

# What the install holds, and where the links point.
for path in lib/quillmark/quillmark lib/quillmark/quillmark-cli lib/quillmark/libvocalith.so \
  lib/quillmark/english.lan lib/quillmark/german.lan lib/quillmark/danish.lan \
  share/applications/com.marlowick.Quillmark.desktop \
  share/metainfo/com.marlowick.Quillmark.metainfo.xml \
  share/kio/servicemenus/quillmark-rename.desktop \
  share/nautilus-python/extensions/quillmark-rename.py share/nemo/actions/quillmark-rename.nemo_action \
  share/Thunar/sendto/com.marlowick.Quillmark.desktop \
  share/doc/quillmark/copyright share/doc/quillmark/changelog.gz \
  share/icons/hicolor/scalable/apps/quillmark.svg share/icons/hicolor/16x16/apps/quillmark.png \
  share/icons/hicolor/256x256/apps/quillmark.png \
  share/man/man1/quillmark.1.gz share/man/man1/quillmark-cli.1.gz; do
  [ -f "$top/$path" ] || fail "not installed: $path"
done
for program in quillmark quillmark-cli; do
  target="$(readlink "$top/bin/$program")" || fail "bin/$program is not a link"
  [ "$target" = "../lib/quillmark/$program" ] || fail "bin/$program points to $target"
done

# The installed commands, started through their links from an unrelated folder, with
# private settings.
mkdir -p "$work/files" "$work/config" "$work/xdg" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/xdg" XDG_RUNTIME_DIR="$work/runtime" XDG_STATE_HOME="$work/state"
export QT_QPA_PLATFORM=offscreen
cd "$work/files"
: >"my_holiday_photo.jpg"
printf 'Version=1\nReplaceGroup=true\nConvertUnderscoreSpaces=true\n' >"$work/spaces.scheme"
touch "$work/before-runs"
sleep 1

expect() { # expect NAME PATTERN COMMAND...: the command succeeds and prints PATTERN
  local name="$1" pattern="$2" out
  shift 2
  out="$("$@" 2>&1)" || fail "$name: exit status $?: $out"
  grep -Eq -- "$pattern" <<<"$out" || fail "$name: no '$pattern' in: $out"
}
cli="$top/bin/quillmark-cli"
expect "cli help" '^Usage: quillmark-cli COMMAND' "$cli" --help
expect "cli version" '^quillmark-cli \(Quillmark\) [0-9]+(\.[0-9]+){3}$' "$cli" --version
expect "cli preview" $'^my_holiday_photo.jpg\tmy holiday photo.jpg$' \
  "$cli" preview --scheme-file "$work/spaces.scheme" -- my_holiday_photo.jpg
expect "program version" '^Quillmark [0-9]+(\.[0-9]+){3}$' "$top/bin/quillmark" --version

# The window lists the file given; the hint it prints first comes from the English
# language file, which is found only through the program's real folder.
# Only standard output is the listing; Qt's notes on standard error go into the failure text.
listing="$(QUILLMARK_PROBE_FILE_LIST=1 timeout 60 "$top/bin/quillmark" my_holiday_photo.jpg \
  2>"$work/program.err")" || fail "program: exit status $?: $listing $(cat "$work/program.err")"
[ "$(head -n 1 <<<"$listing")" = "Add files to the list" ] ||
  fail "program: no language text, so no language file was read: $listing"
grep -qx "my_holiday_photo.jpg" <<<"$listing" || fail "program: the file is not listed: $listing"

changed="$(find "$top" -newer "$work/before-runs")"
[ -z "$changed" ] || fail "written into the install folder at run time: $changed"

# The menu entry and the file managers' actions: valid, claiming no file type for the
# program, and each one's command puts the file in the program's list. (The KIO service
# menu is of a type the validator does not know.)
apps="$top/share/applications"
for entry in "$apps/com.marlowick.Quillmark.desktop" "$top/share/Thunar/sendto/com.marlowick.Quillmark.desktop"; do
  desktop-file-validate "$entry" || fail "$entry does not validate"
done
grep -q '^MimeType=' "$apps/com.marlowick.Quillmark.desktop" && fail "the desktop entry claims file types"
grep -q '^NoDisplay=' "$apps/com.marlowick.Quillmark.desktop" && fail "the desktop entry is hidden"
# Thunar's Send To compares a listed type with the file's own, not with its parents.
grep -q '^MimeType=' "$top/share/Thunar/sendto/com.marlowick.Quillmark.desktop" &&
  fail "the Send To entry names file types: Thunar would hide it for text files and photos"
for entry in "$apps/com.marlowick.Quillmark.desktop" "$top/share/kio/servicemenus/quillmark-rename.desktop" \
  "$top/share/nemo/actions/quillmark-rename.nemo_action" "$top/share/Thunar/sendto/com.marlowick.Quillmark.desktop"; do
  exec_line="$(grep -m1 '^Exec=' "$entry")" || fail "$entry: no Exec line"
  read -ra command <<<"${exec_line#Exec=}"
  command=("${command[@]/\%F/my_holiday_photo.jpg}")
  listing="$(PATH="$top/bin:$PATH" QUILLMARK_PROBE_FILE_LIST=1 timeout 60 "${command[@]}" 2>/dev/null)" ||
    fail "$entry: ${command[*]}: exit status $?"
  grep -qx "my_holiday_photo.jpg" <<<"$listing" || fail "$entry: ${command[*]} does not list the file"
done
"$here/nautilus_extension.py" "$top/share/nautilus-python/extensions/quillmark-rename.py" ||
  fail "nautilus extension"
launchable="$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' \
  "$top/share/metainfo/com.marlowick.Quillmark.metainfo.xml")"
[ -f "$apps/$launchable" ] || fail "the metainfo launches '$launchable', which is not installed"
appstreamcli validate --no-net "$top/share/metainfo/com.marlowick.Quillmark.metainfo.xml" >/dev/null ||
  fail "metainfo does not validate"
for page in quillmark quillmark-cli; do
  warnings="$(MANWIDTH=80 man --warnings -l "$top/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
echo "install tree ok"
