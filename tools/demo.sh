#!/usr/bin/env bash
# The main job: builds the library, its staged copy and the front-end tool,
# drives the library with the demo tasks (or the files given), then starts
# and stops the service layer from the staged copy and shows where its
# directories, its log and its configuration dump went. Everything the
# service layer writes stays below build/stage.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DSCANDRV_TESTS=OFF -DSCANDRV_BENCH=OFF >/dev/null
cmake --build build --target pmxcli scandrv scandrv_stage
if (($#)); then
  build/tools/pmxcli "$@"
else
  build/tools/pmxcli tools/tasks/demo.xml
fi
echo
# PMX_DEBUG=1: a log at debug level and the configuration dump.
PMX_DEBUG=1 build/tools/pmxcli --services
