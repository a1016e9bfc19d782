#!/usr/bin/env bash
# Installs what the build and the tests need beyond g++, CMake and Python 3,
# when it is missing (Debian packages, as root):
#
#   scripts/linux-deps.sh          libxlsxwriter-dev (Vocar's workbooks), and
#                                  for the tests GoogleTest, python3-openpyxl
#                                  (reads the workbooks back), LibreOffice
#                                  (renders them) and poppler-utils (pdfinfo,
#                                  pdftoppm, pdftotext), with the two sets of
#                                  Japanese fonts a Linux machine has, IPA and
#                                  Noto CJK (the workbooks print with each)
#   scripts/linux-deps.sh --build  libxlsxwriter-dev only
#
# Both also install libminizip-dev and libexpat1-dev, which read .xlsx books back.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
[ -f /usr/include/xlsxwriter.h ] || need+=(libxlsxwriter-dev)
[ -f /usr/include/minizip/unzip.h ] || need+=(libminizip-dev)
[ -f /usr/include/expat.h ] || need+=(libexpat1-dev)
if [ "${1:-}" != --build ]; then
  [ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
  /usr/bin/python3 -c 'import openpyxl' 2>/dev/null || need+=(python3-openpyxl)
  have soffice || need+=(libreoffice-calc-nogui)
  have pdfinfo && have pdftoppm && have pdftotext || need+=(poppler-utils)
  # (grep -q on fc-list's pipe would end it early, a failure under pipefail.)
  fonts=$(fc-list : family 2>/dev/null || true)
  grep -qi ipagothic <<<"$fonts" || need+=(fonts-ipafont-gothic)
  grep -qi 'noto sans cjk jp' <<<"$fonts" || need+=(fonts-noto-cjk)
fi
[ ${#need[@]} -eq 0 ] && exit 0
. "$(dirname "$0")/apt-install.sh"
apt_install "for the build and the tests" "${need[@]}"
