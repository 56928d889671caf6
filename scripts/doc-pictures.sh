#!/usr/bin/env bash
# Makes every picture of the documentation again, into docs/pictures/: the
# drawing operations (tools/doc_pictures/operations.cpp) and the example
# programs run with their plans of input (examples/CMakeLists.txt), all on the
# headless backend. Builds in build/ (or the folder given as $1).
#   bash scripts/doc-pictures.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
scripts/install-deps.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
# Pictures no longer made must not linger.
rm -f docs/pictures/*.png
cmake --build "$dir" --target doc_pictures
echo "doc-pictures: $(ls docs/pictures/*.png | wc -l) pictures in docs/pictures/"
