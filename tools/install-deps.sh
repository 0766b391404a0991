#!/usr/bin/env bash
# Installs the Debian packages the program needs to build and run ("run"), and
# what the test suite needs besides ("test"). Does nothing when all are there.
set -euo pipefail

build_and_run=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev libqt6multimedia6
    fonts-ipafont-gothic fonts-ipafont-mincho
)
testing=(
    xvfb xauth xdotool x11-utils imagemagick
    pulseaudio pulseaudio-utils sox
    dpkg-dev file desktop-file-utils fontconfig
)

wanted=("${build_and_run[@]}")
if [ "${1:-run}" = "test" ]; then
    wanted+=("${testing[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
