#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test:
# unit, window and end-to-end tests on the release and the sanitizer builds,
# then the fuzzers for a bounded time and the static checks.
#   scripts/test.sh [release|asan|fuzz|lint ...]   (default: all four)
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ "${#presets[@]}" -eq 0 ] && presets=(release asan fuzz lint)

bash scripts/install-deps.sh

jobs=$(nproc)
for preset in "${presets[@]}"; do
  echo "=== $preset ==="
  case "$preset" in
    release|asan)
      # Tests on, whatever an earlier scripts/run.sh left in the cache.
      cmake --preset "$preset" -DTRESSIK_BUILD_TESTS=ON
      cmake --build --preset "$preset" -j "$jobs"
      ctest --preset "$preset" -j "$jobs" --no-tests=error
      ;;
    fuzz)
      bash fuzz/run-fuzzers.sh "${TRESSIK_FUZZ_SECONDS:-60}"
      ;;
    lint)
      bash scripts/lint.sh
      ;;
    *)
      echo "unknown preset: $preset" >&2
      exit 2
      ;;
  esac
done
