#!/usr/bin/env bash
# Installs what is missing, builds, and starts the battle game on the desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/game/kaplo_game
