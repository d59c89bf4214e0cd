#!/usr/bin/env bash
# Installs the Debian packages Beatwright needs (only those missing), then
# configures and builds it in ./build. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config git ccache
  libgtest-dev libgmock-dev clang-format locales nlohmann-json3-dev
  qt6-base-dev
  libmpg123-dev libvorbis-dev libsoundtouch-dev libsdl2-dev libfftw3-dev libsamplerate0-dev
  libflac-dev libopusfile-dev
  libpulse-dev pulseaudio pulseaudio-utils clang libclang-rt-dev
  lame twolame vorbis-tools flac opus-tools soundstretch mpg123
  fonts-liberation2 xvfb xauth xdotool x11-xserver-utils imagemagick
  dpkg-dev desktop-file-utils shared-mime-info
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests write files under a locale whose decimal point is ",".
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

# shellcheck source=compiler-cache.sh
source scripts/compiler-cache.sh

BUILD_DIR=${BEATWRIGHT_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBEATWRIGHT_WERROR=ON \
  "${CACHE_LAUNCHER[@]}" "$@" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
