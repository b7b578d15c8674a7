#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the screenshots need.
# Idempotent: packages already present are left alone, and apt-get runs only when
# something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libicu-dev libpcre2-dev libexiv2-dev libtag1-dev libsqlite3-dev sqlite3 libjpeg62-turbo-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libcli11-dev
  exfat-fuse exfatprogs
  clang libclang-rt-14-dev clang-format llvm
  xvfb xauth imagemagick fonts-dejavu-core adwaita-icon-theme
  scdoc man-db desktop-file-utils appstream dpkg-dev file exiv2 id3v2
  lintian binutils python3 weston qt6-wayland
  dbus dbus-daemon at-spi2-core python3-pyatspi
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
