#!/usr/bin/env bash
# Static checks of the whole tree: every include points down the folder
# layers and every C++ file is formatted by .clang-format; with MYZELK_TIDY=1
# also clang-tidy over the program's own sources.
# Usage: scripts/check-static.sh BUILD-DIR   (a configured build: compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build}"

python3 scripts/check-layers.py .

mapfile -t cxx < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${cxx[@]}"
echo "check-static: ${#cxx[@]} files formatted"

# clang-tidy over the program's own sources (CI sets MYZELK_TIDY=1): about
# four minutes on two cores.
if [ "${MYZELK_TIDY:-0}" = 1 ]; then
  mapfile -t sources < <(git ls-files '*.cpp' | grep -v -e '^tests/' -e '^bench/' -e '^tools/')
  run-clang-tidy -p "$BUILD" -j "$(nproc)" -quiet "${sources[@]/#/$PWD/}" >"$BUILD/clang-tidy.log" 2>&1 || {
    grep -E 'warning:|error:' "$BUILD/clang-tidy.log" | sort -u >&2
    echo "check-static: clang-tidy found problems (full output in $BUILD/clang-tidy.log)" >&2
    exit 1
  }
  echo "check-static: clang-tidy clean over ${#sources[@]} sources"
fi
