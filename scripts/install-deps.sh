#!/usr/bin/env bash
# Installs from Debian's archive whatever the build, the program and the tests
# need and the machine does not have yet.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang clang-format
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
    libzip-dev zip fonts-liberation libfontconfig-dev
    qt6-networkauth-dev qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus dbus-x11 libsecret-tools
    dovecot-pop3d openssl ca-certificates python3 desktop-file-utils
    xvfb xauth
    # the package: CPack's dependency scan, its checks, and the run as a user
    dpkg-dev file lintian appstream xdotool
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
