#!/usr/bin/env bash
# Builds the Qt-free core alone (proving it needs no Qt) with AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build-asan}"

bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMYZELK_GUI=OFF -DMYZELK_BENCH=OFF \
  -DMYZELK_WERROR="${MYZELK_WERROR:-OFF}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$BUILD" -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$BUILD" --output-on-failure --timeout 600
