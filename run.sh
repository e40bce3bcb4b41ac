#!/usr/bin/env bash
# Sets up (packages, build) and starts Quorvel. Extra words are passed to QV,
# e.g. ./run.sh developMode OnlineUpdateOFF
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: starting QV under xvfb-run" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/QV "$@"
fi
exec build/QV "$@"
