#!/usr/bin/env bash
# The main job: builds the library, its staged copy and the front-end tool,
# drives the library with the demo tasks (or the files given), lists the
# resources appended to the library, scans a batch
# on the simulated scanner into build/stage/scans, then starts
# and stops the service layer from the staged copy and shows where its
# directories, its log and its configuration dump went. Everything the
# service layer writes stays below build/stage.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DSCANDRV_TESTS=OFF -DSCANDRV_BENCH=OFF >/dev/null
cmake --build build --target pmxcli scandrv scandrv_stage simscan
if (($#)); then
  build/tools/pmxcli "$@"
else
  build/tools/pmxcli tools/tasks/demo.xml
fi
echo
# The resources the library carries behind its code: brand, version and the
# capability database that the build compiled from db/sources (lookup in part).
build/tools/pmxres list build/libscandrv.so
{ build/tools/pmxres get build/libscandrv.so LOOKUP || true; } | head -c 480  # (head may close the pipe early)
echo
echo
# A batch on the simulated scanner: every reply, and the images as netpbm files.
rm -rf build/stage/scans && mkdir -p build/stage/scans
build/sim/simscan --out build/stage/scans --flag pages=2
ls -l build/stage/scans
echo
# PMX_DEBUG=1: a log at debug level and the configuration dump.
PMX_DEBUG=1 build/tools/pmxcli --services
