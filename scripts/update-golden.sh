#!/usr/bin/env bash
# Rewrites the golden pictures (tests/data/golden/*.png) from what the layer
# draws now, after a deliberate change of a pixel rule, and lists what
# changed. Look at every changed picture before committing it: the GDI tests
# compare against these files pixel for pixel.
#   scripts/update-golden.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
cmake --preset default -B "$dir" > /dev/null
cmake --build "$dir" --target gdi_tests
KAPLO_UPDATE_GOLDEN=1 "$dir/tests/gdi_tests" --gtest_filter='GdiGolden.*' --gtest_brief=1
git status --short -- tests/data/golden
