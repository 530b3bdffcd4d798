#!/bin/sh
# Starts the window under Xvfb with a few sample files in its list and saves
# screenshots of the main window, the scan dialog (after a scan) and the About
# box into docs/ (main.png, scan.png, about.png).
# Usage: tools/screenshots.sh [build-dir]   (default: build)
set -e
cd "$(dirname "$0")/.."
build="${1:-build}"
tools/deps.sh --app
if [ ! -x "$build/app/ostrevin" ]; then
  cmake -S . -B "$build" -DOSTREVIN_BUILD_APP=ON >/dev/null
  cmake --build "$build" --target ostrevin -j "$(nproc)"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A few Shift-JIS files, two of them with platform-dependent characters.
printf '\261\262\263 \207\100\207\101 \204\237\r\n' >"$work/半角カナと丸数字.txt"    # ｱｲｳ ①② ─
printf '\202\261\202\361\202\311\202\277\202\315\r\n\372\100\r\n' >"$work/挨拶.txt"  # こんにちは ⅰ(0xFA40)
printf 'plain ASCII\r\n' >"$work/readme.txt"
mkdir -p docs "$work/home"
# A private settings file: the run must not read or change the user's.
cp "$build/app/ostrevin" "$work/ostrevin"
cp app/resources/ostrevin.htm "$work/ostrevin.htm"
printf '[Folder]\nDestination=/home/user/変換結果\nKanjiConvert=1\nKanjiCode=0\nUseTable=1\nTablePath=/home/user/表記統一.txt\nRegExp=0\nNoOutput=1\n' \
  >"$work/ostrevin.ini"

(cd "$work" && HOME="$work/home" LANG=ja_JP.UTF-8 OSTREVIN_SCREENSHOTS="$OLDPWD/docs" \
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" ./ostrevin "$work"/*.txt)
ls -l docs/main.png docs/scan.png docs/about.png
