#!/bin/sh
# Installs the Debian packages the build and the tests need (acl and attr: the
# fault-injection tests mark files with setfacl and setfattr; strace: a test
# watches when outputs are flushed; --bench adds the peers bench/vs_peers.sh
# times), when missing.
# Usage: tools/deps.sh [--app] [--bench] [--fuzz] [--package]
set -e
pkgs="cmake g++ make pkgconf libgtest-dev libcli11-dev perl man-db acl attr strace"
for arg in "$@"; do
  case "$arg" in
    --app) pkgs="$pkgs qt6-base-dev qt6-translations-l10n libqt6svg6 fonts-noto-cjk xvfb xauth appstream desktop-file-utils" ;;
    --bench) pkgs="$pkgs libbenchmark-dev nkf hyperfine time" ;;
    --fuzz) pkgs="$pkgs clang libclang-rt-14-dev" ;;
    --package) pkgs="$pkgs dpkg-dev file" ;;  # dpkg-shlibdeps, and file to find the binaries
  esac
done
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing:$missing"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
