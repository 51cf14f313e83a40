#!/usr/bin/env bash
# Installs, on Debian 12 as root, whatever the build, the program and the
# tests need and the machine lacks. Safe to run again: installed packages are
# skipped, and the package lists are refreshed only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev qt6-translations-l10n
  fonts-ipafont-gothic fonts-dejavu-extra
  xvfb xauth
  python3 python3-olefile libgsf-bin time
  # an independent reader of the packages tavrin-cli changed (a ctest)
  libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui
  # the XML property parts of document packages
  libexpat1-dev
  # inflate, deflate and CRC for the ZIP packages
  zlib1g-dev
  # the icons and manual pages, and the checks of the desktop files
  librsvg2-bin gzip man-db desktop-file-utils appstream
  # the .deb: its dependencies are computed, and lintian checks it
  dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
