#!/usr/bin/env bash
# Installs the Debian packages the program needs to build and run ("run"), and
# what the test suite needs besides ("test"). Does nothing when all are there.
set -euo pipefail

build_and_run=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev libqt6multimedia6
    libsndfile1-dev libpulse-dev libxcb1-dev libfontconfig-dev
    fonts-ipafont-gothic fonts-ipafont-mincho qt6-translations-l10n
)
testing=(
    xvfb xauth xdotool x11-utils imagemagick
    pulseaudio pulseaudio-utils sox
    dpkg-dev file desktop-file-utils fontconfig
    faketime locales dbus-bin dbus-daemon dbus-x11 at-spi2-core python3-pyatspi
    python3-pil python3-fonttools
    lintian appstream man-db groff-base
    orca openbox poppler-utils xclip
    debhelper devscripts blhc fakeroot librsvg2-bin git autopkgtest
    qt6-wayland weston
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

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests compare the windows under the C, English and Japanese locales.
if [ "${1:-run}" = "test" ]; then
    locales_missing=()
    for locale_name in en_US.UTF-8 ja_JP.UTF-8; do
        short=$(echo "$locale_name" | sed 's/UTF-8/utf8/')
        locale -a 2>/dev/null | grep -qx "$short" || locales_missing+=("$locale_name")
    done
    if [ ${#locales_missing[@]} -gt 0 ]; then
        echo "Generating locales: ${locales_missing[*]}"
        for locale_name in "${locales_missing[@]}"; do
            "${sudo_cmd[@]}" sed -i "s/^# *\($locale_name UTF-8\)/\1/" /etc/locale.gen
        done
        "${sudo_cmd[@]}" locale-gen >/dev/null
    fi
fi
