#!/usr/bin/env bash
# Installs what the Windows programs need to be built and tested here, when
# it is missing: the mingw-w64 cross compiler, Wine, Xvfb, ImageMagick (the
# screenshots) and a Japanese font for Wine. Debian packages, as root. Then
# builds libxlsxwriter for them (scripts/windows-xlsxwriter.sh), and minizip
# and expat (scripts/windows-minizip-expat.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
[ -x /usr/lib/wine/wine64 ] || have wine64 || need+=(wine wine64)
ls /usr/share/wine/fonts/marlett* >/dev/null 2>&1 || need+=(fonts-wine)
have Xvfb || need+=(xvfb)
have xauth || need+=(xauth)
# (a convert that is not ImageMagick's, such as a stand-in on the path, does not count)
convert -version 2>/dev/null | grep -q ImageMagick || need+=(imagemagick)
fc-list 2>/dev/null | grep -qi ipagothic || need+=(fonts-ipafont-gothic)
# The workbook library's Windows build: zlib for mingw-w64, and what
# unpacks Debian's source package.
[ -f /usr/x86_64-w64-mingw32/lib/libz.a ] || need+=(libz-mingw-w64-dev)
have dpkg-source || need+=(dpkg-dev)
if [ ${#need[@]} -gt 0 ]; then
  . "$root/scripts/apt-install.sh"
  apt_install "for the Windows programs" "${need[@]}"
fi

"$root/scripts/windows-xlsxwriter.sh"
exec "$root/scripts/windows-minizip-expat.sh"
