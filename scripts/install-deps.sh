#!/usr/bin/env bash
# Installs the Debian packages Quorvel builds and runs with, only those that are missing.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webchannel-dev
  libqt6webenginecore6-bin libxml2-dev libxslt1-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk xvfb xauth liblnk-dev libbfio-dev libglib2.0-dev desktop-file-utils appstream
  qt6-declarative-dev libfontconfig-dev libxcb1-dev libx11-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
