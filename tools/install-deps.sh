#!/usr/bin/env bash
# Installs the Debian packages dotweave needs to build, test and demonstrate
# itself; does nothing when they are all present. Run as root.
#   install-deps.sh [--list]
# With --list it only prints the packages, one a line. The test command
# builds the Debian packages with only these installed, so they include
# every build dependency debian/control names (test packaging_build_deps).
set -euo pipefail

packages=(
  # build-essential: dpkg-buildpackage requires it without its being listed
  build-essential cmake make g++ pkg-config
  libcups2-dev libcupsimage2-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev
  libgtest-dev libbenchmark-dev
  # printer descriptions, the sample run and the end-to-end tests
  cups cups-client cups-filters cups-ppdc ghostscript poppler-utils python3
  # the printer application and its tests (IPP Everywhere tests, PAM, the
  # browser that checks its web page)
  libpappl-dev libpam0g-dev cups-ipp-utils chromium
  # the half-tone corpus: barcodes drawn by zint, read back by zbarimg,
  # labels drawn with Debian's python3, numpy and PIL
  zint zbar-tools python3-numpy python3-pil fonts-dejavu-core
  # the fuzz targets
  clang libclang-rt-14-dev llvm-14
  # the Debian packages: built, checked, installed and their manual pages read
  debhelper dpkg-dev lintian man-db
)

if [ "${1:-}" = --list ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
