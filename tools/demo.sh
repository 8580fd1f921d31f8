#!/usr/bin/env bash
# The main job: builds the library and the front-end tool, then drives the
# library end to end with the demo tasks (or the files given).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DSCANDRV_TESTS=OFF -DSCANDRV_BENCH=OFF >/dev/null
cmake --build build --target pmxcli scandrv
if (($#)); then
  build/tools/pmxcli "$@"
else
  build/tools/pmxcli tools/tasks/demo.xml
fi
