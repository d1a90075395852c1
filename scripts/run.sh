#!/usr/bin/env bash
# The first README command: installs what is needed, builds, and starts the client.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/bin/trelvix "$@"
