#!/usr/bin/env bash
# Writes a picture of the main window to OUT.png (and, when given, one of the settings window to
# SETTINGS.png): builds the program if needed, starts it under a virtual X server with a font that
# renders Chinese, lets it save the picture and end.
#   tools/screenshot.sh OUT.png [SETTINGS.png]
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 OUT.png [SETTINGS.png]" >&2
    exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "$1")"
settings_out=""
if [ $# -ge 2 ]; then
    settings_out="$(realpath -m "$2")"
fi
build="${ORIGINALITY_BUILD_DIR:-$root/build}"
program="$build/src/app/originality"

if [ ! -x "$program" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc)" --target originality
fi
if ! fc-list :lang=zh | grep -q .; then
    echo "$0: no font for Chinese is installed (fonts-wqy-microhei)" >&2
    exit 1
fi
if [ "$(id -u)" -eq 0 ]; then
    # The web engine refuses to start as root with its sandbox on.
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi

rm -f "$out"
ORIGINALITY_SCREENSHOT="$out" ORIGINALITY_SETTINGS_SCREENSHOT="$settings_out" QT_QPA_PLATFORM=xcb \
    timeout 60 xvfb-run -a -s "-screen 0 1366x768x24" "$program" >/dev/null 2>&1 || true
if [ ! -s "$out" ]; then
    echo "$0: the program wrote no picture" >&2
    exit 1
fi
echo "$out"
