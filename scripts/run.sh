#!/usr/bin/env bash
# Installs what is missing, builds Tressik and starts it. The vault data.enc
# is kept beside the executable, in build/release/bin/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release -DTRESSIK_BUILD_TESTS=OFF -DTRESSIK_BUILD_BENCH=OFF
cmake --build --preset release --target tressik
exec build/release/bin/tressik "$@"
