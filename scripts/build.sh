#!/usr/bin/env bash
# Configures and builds KAPLO into build/ (or the folder given as $1).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
cmake --preset default -B "$dir" "$@" > /dev/null
cmake --build "$dir"
