#!/usr/bin/env bash
# Builds everything and runs every test. Usage: scripts/test.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build}"

bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMYZELK_WERROR="${MYZELK_WERROR:-OFF}"
cmake --build "$BUILD" -j2
ctest --test-dir "$BUILD" --output-on-failure --timeout 600
