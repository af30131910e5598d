#!/usr/bin/env bash
# Builds the project and runs the scripted tour against the embedded
# simulated control station.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target celerractl celerra-sim
exec build/bin/celerractl --sim demo "$@"
