#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest. The SDL2
# tests get a virtual X display; the rest run on the headless backend.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
cd build
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 --timeout 300
