#!/usr/bin/env bash
# Installs what building, testing and running the system needs, from Debian
# packages. Does nothing when everything is already there. Usage:
# tools/install-deps.sh [windows]
set -euo pipefail

# The live monitor: libcpp-httplib-dev (its server; pkgconf finds it),
# libjs-dygraphs (the page's chart, compiled into the program); its tests:
# python3-prometheus-client (a strict metrics parser), chromium,
# chromium-driver and python3-selenium (the page in a real browser).
# The HDF5 event files: libhdf5-dev, zlib1g-dev; their test: python3-h5py, python3-numpy.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev gnuplot-nox binutils nlohmann-json3-dev
  pkgconf libcpp-httplib-dev libjs-dygraphs python3-prometheus-client chromium chromium-driver python3-selenium
  libhdf5-dev zlib1g-dev python3-h5py python3-numpy)

# The Windows cross build (tools/check.sh windows): the mingw-w64 compilers
# with POSIX threads, zlib for the target, GoogleTest's sources and wine to
# run the tests.
if [ "${1:-}" = windows ]; then
  packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
