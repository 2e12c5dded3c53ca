#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already present.
# Usage: scripts/setup.sh [run|test|fuzz]
set -euo pipefail

mode=${1:-test}
packages=(cmake ninja-build ccache g++ clang-format pkg-config qt6-base-dev qt6-svg-dev libzip-dev
          libpugixml-dev zlib1g-dev libgtest-dev libbenchmark-dev fonts-dejavu-core
          qt6-translations-l10n)
# The metric twins of the fonts documents name most (Calibri, Cambria, Times New Roman, Arial,
# Courier New): lines and pages come out as in the word processors the documents came from.
packages+=(fonts-crosextra-carlito fonts-crosextra-caladea fonts-liberation2)
# Optional for the program, which has built-in products without it: the label product files of
# glabels-data (XML descriptions of about 1,750 sheets) that "Новый шаблон листа" and
# stampora-batch products read. Only its data files are used.
packages+=(glabels-data)
# The barcodes of DISPLAYBARCODE and MERGEBARCODE fields are encoded by zint.
packages+=(libzint-dev)
# Binary Word 97 glyphs and sheets are read and written through LibreOffice, kept running by a
# helper that needs python3-uno.
packages+=(libreoffice-writer-nogui python3-uno)
if [ "$mode" = test ] || [ "$mode" = fuzz ]; then
  # The desktop tests: a window manager on Xvfb, a CUPS PDF queue, the Debian package and the
  # checkers of its desktop entry and AppStream data.
  packages+=(poppler-utils xvfb xauth libxcb1-dev openbox cups
             printer-driver-cups-pdf dpkg-dev file desktop-file-utils appstream)
  # The label data tests have LibreOffice Calc make the XLSX and ODS books they read.
  packages+=(libreoffice-calc-nogui)
  # Barcodes drawn into PDF files are read back by zbarimg.
  packages+=(zbar-tools)
fi
if [ "$mode" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
