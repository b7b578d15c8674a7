#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks its name, its files and
# that its dependencies are the runtime packages the programs load.
# Usage: package_deb.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$work/quillmark_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work")"

contents="$(dpkg-deb -c "$deb")"
has() { grep -Eq -- "$1" <<<"$contents" || fail "package lacks $1"; }
has ' \./usr/bin/quillmark -> \.\./lib/quillmark/quillmark$'
has ' \./usr/bin/quillmark-cli -> \.\./lib/quillmark/quillmark-cli$'
for path in lib/quillmark/quillmark lib/quillmark/quillmark-cli lib/quillmark/libvocalith.so \
  lib/quillmark/english.lan share/applications/quillmark.desktop \
  share/metainfo/com.marlowick.Quillmark.metainfo.xml \
  share/icons/hicolor/scalable/apps/quillmark.svg share/icons/hicolor/48x48/apps/quillmark.png \
  share/man/man1/quillmark.1.gz share/man/man1/quillmark-cli.1.gz; do
  has " \./usr/$path$"
done
# Nothing but the program's own files: no headers, static libraries or test programs.
extra="$(grep -Ev '/$| -> ' <<<"$contents" | grep -Ev ' \./usr/(lib/quillmark|share/(applications|metainfo|icons/hicolor|man/man1))/' || true)"
[ -z "$extra" ] || fail "unexpected files: $extra"

depends="$(dpkg-deb -f "$deb" Depends)"
names="$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")"
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libicu72 libsqlite3-0 \
  libpcre2-32-0 qt6-qpa-plugins; do
  grep -Fqx "$package" <<<"$names" || fail "Depends lacks $package: $depends"
done
grep -q vocalith <<<"$depends" && fail "Depends names the bundled library: $depends"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"
# The packaged programs are stripped: their version block must survive that.
dpkg-deb -x "$deb" "$work/root"
for program in quillmark-cli quillmark; do
  out="$("$work/root/usr/bin/$program" --version 2>&1)" || fail "packaged $program --version: $out"
  grep -Eq "Quillmark [0-9]+(\.[0-9]+)+$" <<<"$out" || fail "packaged $program --version: $out"
done
echo "package ok: $depends"
