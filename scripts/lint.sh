#!/usr/bin/env bash
# Static checks: the formatting of every C++ file, then cppcheck and clang-tidy
# over src/, each failing on any finding.
# Needs the release preset's compile_commands.json (scripts/test.sh release makes it).
set -euo pipefail
cd "$(dirname "$0")/.."

[ -f build/release/compile_commands.json ] || { cmake --preset release >/dev/null; }

echo "--- clang-format"
# Every C++ file of the tree in the style .clang-format describes.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror ||
  { echo "files above are not formatted: run clang-format -i on them" >&2; exit 1; }

echo "--- cppcheck"
cppcheck --enable=warning,performance,portability,style --library=qt --std=c++20 --inline-suppr \
  --suppressions-list=.cppcheck-suppressions -I src --quiet --error-exitcode=1 src

echo "--- clang-tidy"
log=$(mktemp)
status=0
# Whatever LLVM version Debian ships: the plain name first, else the newest versioned one.
runner=$(command -v run-clang-tidy || ls /usr/bin/run-clang-tidy-[0-9]* 2>/dev/null | grep -v '\.py$' | sort -V | tail -1)
[ -n "$runner" ] || { echo "run-clang-tidy is not installed (Debian package clang-tidy)" >&2; exit 1; }
tidy=$(command -v clang-tidy || ls /usr/bin/clang-tidy-[0-9]* 2>/dev/null | sort -V | tail -1)
"$runner" -quiet -clang-tidy-binary "$tidy" -p build/release -j "$(nproc)" "$PWD/src/.*\.cpp" >"$log" 2>&1 || status=$?
grep -E "(warning|error): " "$log" | sort -u || true
rm -f "$log"
[ "$status" -eq 0 ] || { echo "clang-tidy found problems" >&2; exit 1; }
echo "static checks: clean"
