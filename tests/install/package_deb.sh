#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks its name, its files, that
# its dependencies are the runtime packages the programs load, its hardening (when the
# build has it) and what lintian says of it.
# Usage: package_deb.sh BUILD_DIR VERSION HARDENING(ON/OFF)
set -euo pipefail
build="$1"
version="$2"
hardening="$3"
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
  lib/quillmark/english.lan share/applications/com.marlowick.Quillmark.desktop \
  share/doc/quillmark/copyright share/doc/quillmark/changelog.gz \
  share/kio/servicemenus/quillmark-rename.desktop share/nemo/actions/quillmark-rename.nemo_action \
  share/nautilus-python/extensions/quillmark-rename.py \
  share/metainfo/com.marlowick.Quillmark.metainfo.xml \
  share/icons/hicolor/scalable/apps/quillmark.svg share/icons/hicolor/48x48/apps/quillmark.png \
  share/man/man1/quillmark.1.gz share/man/man1/quillmark-cli.1.gz; do
  has " \./usr/$path$"
done
# Nothing but the program's own files: no headers, static libraries or test programs.
extra="$(grep -Ev '/$| -> ' <<<"$contents" | grep -Ev ' \./usr/(lib/quillmark|share/(applications|metainfo|icons/hicolor|man/man1|doc/quillmark|kio/servicemenus|nautilus-python/extensions|nemo/actions|Thunar/sendto))/' || true)"
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
recommends="$(dpkg-deb -f "$deb" Recommends)"
grep -Eq '(^|, )qt6-wayland(,|$)' <<<"$recommends" || fail "Recommends lacks qt6-wayland: $recommends"
# The private library is found through RUNPATH: nothing to run at installation.
scripts="$(dpkg-deb -I "$deb" | grep -Eo '(pre|post)(inst|rm)' || true)"
[ -z "$scripts" ] || fail "maintainer scripts: $scripts"
# The packaged programs are stripped: their version block must survive that.
dpkg-deb -x "$deb" "$work/root"
out="$("$work/root/usr/bin/quillmark" --version 2>&1)" || fail "packaged quillmark --version: $out"
[ "$out" = "Quillmark $version" ] || fail "packaged quillmark --version: $out"
out="$("$work/root/usr/bin/quillmark-cli" --version 2>&1)" || fail "packaged quillmark-cli --version: $out"
[ "$out" = "quillmark-cli (Quillmark) $version" ] || fail "packaged quillmark-cli --version: $out"
top="$(zcat "$work/root/usr/share/doc/quillmark/changelog.gz" | head -n 1)"
[ "$top" = "quillmark ($version) unstable; urgency=medium" ] || fail "changelog starts: $top"

if [ "$hardening" = ON ]; then
  # readelf's output is taken whole first: grep -q stopping early would fail the pipe.
  for file in quillmark quillmark-cli libvocalith.so; do
    elf="$work/root/usr/lib/quillmark/$file"
    dynamic="$(readelf -d -W "$elf")"
    headers="$(readelf -l -W "$elf")"
    symbols="$(readelf --dyn-syms -W "$elf")"
    grep -Eq 'FLAGS.*\bNOW\b|BIND_NOW' <<<"$dynamic" || fail "$file: no immediate binding"
    grep -q GNU_RELRO <<<"$headers" || fail "$file: no read-only relocations"
    grep -q '__stack_chk_fail' <<<"$symbols" || fail "$file: no stack protector"
    if [ "$file" != libvocalith.so ]; then
      grep -Eq 'FLAGS_1.*\bPIE\b' <<<"$dynamic" || fail "$file: not PIE"
      grep -q '_chk@' <<<"$symbols" || fail "$file: no fortified calls"
    fi
  done
fi

# lintian fails on errors and warnings; the README's packaging section explains the
# informational tags that remain.
lintian --pedantic --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian"; }
echo "package ok: $depends"
