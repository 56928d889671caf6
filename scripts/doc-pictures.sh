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
cmake --preset default -B "$dir" > /dev/null
stamp="$(mktemp)"
trap 'rm -f "$stamp"' EXIT
sleep 1  # file times count in whole seconds on some file systems
cmake --build "$dir" --target doc_pictures
# Pictures that no run made any more must not linger.
find docs/pictures -name '*.png' ! -newer "$stamp" -print -delete
echo "doc-pictures: $(ls docs/pictures/*.png | wc -l) pictures in docs/pictures/"
