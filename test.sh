#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test through CTest.
# Also builds the text and settings tests with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs them. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

./tools/setup.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
if [ "$(id -u)" -eq 0 ]; then
    # The web engine refuses to start as root with its sandbox on.
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORIGINALITY_SANITIZE=ON -DORIGINALITY_CORE_ONLY=ON \
    -DORIGINALITY_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 300
echo "test.sh: all tests passed"
