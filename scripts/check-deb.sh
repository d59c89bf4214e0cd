#!/usr/bin/env bash
# Builds the Debian package from an existing build (default ./build) and
# checks it: name, run-time dependencies, contents, the desktop entry and
# MIME type, and that the program from the unpacked package starts and shows
# its window under a virtual X server. Usage: check-deb.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out="$build/package"
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")/\1/p' "$build/CPackConfig.cmake")
deb="$out/beatwright_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "check-deb: no $deb" >&2; ls "$out" >&2; exit 1; }

fail() { echo "check-deb: $*" >&2; exit 1; }
info=$(dpkg-deb --info "$deb")
depends=$(echo "$info" | sed -n 's/^ Depends: //p')
for lib in qt6-qpa-plugins libqt6widgets6 libmpg123-0 libvorbisfile3 libflac12 libopusfile0 \
    libsoundtouch libsdl2-2.0-0 libc6; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for path in ./usr/bin/beatwright ./usr/share/applications/beatwright.desktop \
    ./usr/share/mime/packages/beatwright.xml \
    ./usr/share/icons/hicolor/scalable/apps/beatwright.svg; do
  echo "$contents" | grep -qx "$path" || fail "the package lacks $path"
done
for size in 16 22 24 32 48 64 128 256; do
  echo "$contents" | grep -qx "./usr/share/icons/hicolor/${size}x${size}/apps/beatwright.png" ||
    fail "the package lacks the ${size}px icon"
done
echo "$contents" | grep -q '/tests\?/\|bench\|_tests$' && fail "test or benchmark files in the package"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
desktop-file-validate "$tree/usr/share/applications/beatwright.desktop"
grep -q '^MimeType=application/x-dwi;' "$tree/usr/share/applications/beatwright.desktop" ||
  fail "the desktop entry does not open .dwi files"
grep -q '^Exec=beatwright %f$' "$tree/usr/share/applications/beatwright.desktop" ||
  fail "the desktop entry does not pass the file"
# The MIME type as the desktop sees it, case-insensitive glob included.
mkdir -p "$tree/mime/packages"
cp "$tree/usr/share/mime/packages/beatwright.xml" "$tree/mime/packages/"
update-mime-database "$tree/mime" >/dev/null
grep -qi '^50:application/x-dwi:\*\.dwi$' "$tree/mime/globs2" || fail "no *.dwi glob"
grep -qi '^50:application/x-stepmania-sm:\*\.sm$' "$tree/mime/globs2" || fail "no *.sm glob"
grep -qi '^50:application/x-stepmania-ssc:\*\.ssc$' "$tree/mime/globs2" || fail "no *.ssc glob"
grep -q ':cs' "$tree/mime/globs2" && fail "the *.dwi glob is case-sensitive"

# The unpacked program shows its window.
SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" & pid=$!
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^Beatwright$" >/dev/null 2>&1 && { kill $pid; exit 0; }
    sleep 0.1
  done
  kill $pid; exit 1' _ "$tree/usr/bin/beatwright" || fail "the packaged program showed no window"
echo "check-deb: $deb ($(du -h "$deb" | cut -f1)), Depends: $depends"
