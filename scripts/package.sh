#!/usr/bin/env bash
# Installs what is missing, builds an optimised program with Debian's
# hardening flags, makes the .deb (build/package/tavrin_VERSION_ARCH.deb,
# its dependencies computed from the executables) and checks it with lintian.
# Install it with: apt-get install ./build/package/tavrin_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${TAVRIN_PACKAGE_DIR:-build/package}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRIN_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$build"
rm -f "$build"/tavrin_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/tavrin_*.deb)
lintian --fail-on error --display-info "$deb"
echo "$deb"
