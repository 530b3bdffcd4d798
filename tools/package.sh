#!/bin/sh
# Builds the Debian package: the window, the command line, the manual, the
# manual page, the bash completion, the icon, the desktop entry and the AppStream
# metainfo, its dependencies found by dpkg-shlibdeps. Install it with
# `sudo apt-get install ./ostrevin_<version>_amd64.deb`.
# Usage: tools/package.sh [build-dir]   (default: build-package; the .deb lands there)
set -e
cd "$(dirname "$0")/.."
build="${1:-build-package}"
tools/deps.sh --app --package
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREVIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB)
ls -l "$build"/ostrevin_*.deb
