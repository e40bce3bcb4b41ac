#!/usr/bin/env bash
# Sets up (packages, build) and starts Quorvel. Extra words are passed to QV,
# e.g. ./run.sh developMode OnlineUpdateOFF
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
# The web engine's sandbox cannot run as root (containers, CI machines): run it without one there.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: starting QV under xvfb-run" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/QV "$@"
fi
exec build/QV "$@"
