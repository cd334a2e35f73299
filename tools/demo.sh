#!/usr/bin/env bash
# The main job: build the module and the reference host, then run qohost. It loads
# libquorin.so like an engine, attaches a world, and prints the class count and the console
# (with a demo level present, it runs that level instead).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "${QUORIN_JOBS:-2}" --target quorin qohost

demo_level=examples/levels/demo.json
if [ -f "$demo_level" ]; then
    exec build/default/qohost run "$demo_level"
fi
exec build/default/qohost info
