#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzzer for a bounded time.
#   fuzz/run-fuzzers.sh [seconds per fuzzer, default 60]
# Environment: JOBS (build jobs, default 2).
# Exits non-zero when a build fails or a fuzzer finds a crash; the input that
# did it is kept in build/fuzz/artifacts/<fuzzer>/.
set -euo pipefail

seconds="${1:-60}"
case "$seconds" in
  '' | *[!0-9]* | 0) echo "usage: $0 [seconds > 0]" >&2; exit 2 ;;
esac

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# Each fuzzer and its seed folder under fuzz/corpus/.
declare -A seedsOf=([fuzz_vault_reader]=vault [fuzz_rtf_reader]=rtf)
fuzzers=("${!seedsOf[@]}")

cmake --preset fuzz
cmake --build --preset fuzz -j "${JOBS:-2}" --target "${fuzzers[@]}"

failed=0
for name in "${fuzzers[@]}"; do
  seeds="fuzz/corpus/${seedsOf[$name]}"
  work="build/fuzz/corpus/$name"
  artifacts="build/fuzz/artifacts/$name"
  mkdir -p "$work" "$artifacts"
  echo "== $name: ${seconds}s, seeds from $seeds"
  # New inputs go to the first folder, so the seeds in the source tree stay as they are.
  # The reader fuzzer runs Qt offscreen; what Qt's libraries keep for the life
  # of the process is not reported as a leak.
  if ! QT_QPA_PLATFORM=offscreen LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" \
      "build/fuzz/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds" 2>&1 |
      grep --line-buffered -v '^libpng '; then
    echo "== $name: FAILED, see $artifacts/" >&2
    failed=1
  fi
done
exit "$failed"
