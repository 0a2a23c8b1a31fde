#!/usr/bin/env bash
# Remakes the README's pictures in docs/ from the release build: the main window and each view
# over the bundled collection, drawn offscreen at the same size every time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tambrel_screenshots
QT_QPA_PLATFORM=offscreen build/release/app/screenshots/tambrel_screenshots data docs
