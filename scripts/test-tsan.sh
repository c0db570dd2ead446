#!/usr/bin/env bash
# Builds the Qt-free core with ThreadSanitizer and runs the tests of the parts
# that use threads: the store, the download queue and worker, the room tree
# and the mail library.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build-tsan}"

bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMYZELK_GUI=OFF -DMYZELK_BENCH=OFF \
  -DMYZELK_WERROR="${MYZELK_WERROR:-OFF}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread"
TARGETS=(store_tests download_tests tree_tests LQSMTP_tests LQSMTP_export_tests)
cmake --build "$BUILD" -j2 --target "${TARGETS[@]}" myzelk_database myzelk_resources
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir "$BUILD" --output-on-failure --timeout 600 \
  -L "^($(IFS='|'; echo "${TARGETS[*]}"))\$"
