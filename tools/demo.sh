#!/usr/bin/env bash
# The main job: builds the library, its staged copy and the front-end tool,
# drives the library with the demo tasks (or the files given), lists the
# resources appended to the library, scans a batch of 10 duplex colour
# sheets at 200 dpi on the simulated scanner through DriverEntry into TIFF
# and JPEG files under build/stage/scans, then starts
# and stops the service layer from the staged copy and shows where its
# directories, its log and its configuration dump went. Everything the
# service layer writes stays below build/stage.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -G Ninja -DSCANDRV_TESTS=OFF -DSCANDRV_BENCH=OFF >/dev/null
cmake --build build --target pmxcli scandrv scandrv_stage simscanner_adf simscanner_flatbed nexsim_adf \
  nexsim_flatbed dravix
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
# A batch on the simulated scanner, as a front end scans it: one line per page
# and a summary, each page a TIFF and a JPEG.
rm -rf build/stage/scans
build/tools/pmxcli --scan --out build/stage/scans --pages 10 --duplex --format rgb_24 --resolution 200 ||
  echo "(the scan ended with exit status $?)"
ls -l build/stage/scans
echo
# PMX_DEBUG=1: a log at debug level and the configuration dump.
PMX_DEBUG=1 build/tools/pmxcli --services
