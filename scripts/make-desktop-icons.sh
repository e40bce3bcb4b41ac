#!/usr/bin/env bash
# Makes the desktop icon of the installed program (hicolor theme, the usual sizes) from the
# program's own icon art, the main window's icon data/icons/799.png (32 x 32). Run by hand with
# ImageMagick when that picture changes; the results are kept in data/desktop/icons/.
set -euo pipefail
cd "$(dirname "$0")/.."
source=data/icons/799.png
for size in 16 22 24 32 48 64 128; do
  out=data/desktop/icons/${size}x${size}/cn.quorvel.Quorvel.png
  mkdir -p "$(dirname "$out")"
  convert "$source" -filter Lanczos -resize "${size}x${size}" -strip "PNG32:$out"
done
