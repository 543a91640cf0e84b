#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: when everything is present it installs nothing and says so.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    qt6-base-dev qt6-webengine-dev libqt6opengl6-dev
    libcurl4-openssl-dev libboost-regex-dev libcpp-httplib-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present, nothing to install"
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
