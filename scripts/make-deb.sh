#!/usr/bin/env bash
# Builds the Debian package dist/postrella_<version>_<arch>.deb from a release
# build of the program alone (no tests) and checks it with lintian.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build/package
# Debian's hardening flags, as a package build of Debian's own would use.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPOSTRELLA_BUILD_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build"
rm -f dist/postrella_*
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls dist/postrella_*.deb)
# Errors fail the build; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "$deb"
