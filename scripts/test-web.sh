#!/usr/bin/env bash
# Builds the game and an example (examples/shapes.c) for the web and tests
# them in headless Chromium driven by puppeteer-core (tests/web). Every wait
# in the browser is bounded, and the whole run is too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh web
site="$(pwd)/build-web/site"
bash scripts/web.sh --game -o "$site/kaplo_game" > /dev/null
bash scripts/kaplo.sh --web --out "$site/shapes" examples/shapes.c > /dev/null
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error > /dev/null)
cd tests/web
SITE="$site" timeout 600 node --test web_test.js
