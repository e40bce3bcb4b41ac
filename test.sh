#!/usr/bin/env bash
# Sets up (packages, build) and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox QT_QPA_PLATFORM=offscreen
cd build
# Every test case runs as a process of its own and mostly waits (for pages, local servers, timers),
# so twice as many run at once as there are processors.
ctest --output-on-failure -j"$(( $(nproc) * 2 ))" "$@"
