#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")"

./tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

program=build/src/app/originality
if [ ! -x "$program" ]; then
    echo "run.sh: built the core; the window program ($program) is not there yet"
    exit 0
fi
if [ "$(id -u)" -eq 0 ]; then
    # The web engine refuses to start as root with its sandbox on.
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$program" "$@"
