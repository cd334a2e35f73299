#!/usr/bin/env bash
# The main job: build the module and the reference host, then run the relay demo level in
# qohost: it loads libquorin.so like an engine, loads the level, runs it and prints the
# scripts' console and the entity-method calls frame by frame.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "${QUORIN_JOBS:-2}" --target quorin qohost

build/default/qohost info
exec build/default/qohost run examples/levels/relay.json
