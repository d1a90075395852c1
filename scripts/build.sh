#!/usr/bin/env bash
# Configures and builds the client into build/ (program folder: build/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRELVIX_WERROR=ON "$@" >/dev/null
cmake --build build -j"$(nproc)"
