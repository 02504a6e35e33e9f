#!/usr/bin/env bash
# Builds the Debian packages torvanel-client and torvanel-sim into build/packages/: a Release
# build of its own in build/package (no tests, no benchmarks), hardened with Debian's build
# flags, packed by CPack.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

bash scripts/deps.sh
# dpkg-shlibdeps (dpkg-dev) works out the library dependencies of the packages.
ensure_packages dpkg-dev

# Debian's hardening (fortify, stack protector, relro, bind-now); -g is left out, as the
# binaries are stripped anyway.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Two builds of one commit give the same packages.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

cmake -S . -B build/package -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTORVANEL_BUILD_TESTS=OFF -DTORVANEL_BUILD_BENCH=OFF -DTORVANEL_BUILD_FUZZ=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build/package -j "$(nproc)"

rm -rf build/package/_cpack build/packages
(cd build/package && cpack -G DEB -B _cpack >/dev/null)
mkdir -p build/packages
cp build/package/_cpack/*.deb build/packages/
ls -l build/packages/*.deb
