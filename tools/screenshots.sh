#!/bin/sh
# Starts the window under Xvfb with sample files in its list and saves
# screenshots into docs/: the main window (main.png), the same window grown with
# a long path and its scroll bar (resized.png), the stop question over a run
# (stop.png), the scan dialog after a scan (scan.png) and the About box
# (about.png).
# The samples lie in a home folder, /home/yamada, as a person's files would: a
# private mount for this run where the system lets an unprivileged user make
# one (unshare), else a temporary folder.
# Usage: tools/screenshots.sh [build-dir]   (default: build)
set -e
cd "$(dirname "$0")/.."
build="${1:-build}"
if [ -z "$OSTREVIN_SHOTS_PRIVATE" ]; then
  tools/deps.sh --app
  if [ ! -x "$build/app/ostrevin" ]; then
    cmake -S . -B "$build" -DOSTREVIN_BUILD_APP=ON >/dev/null
    cmake --build "$build" --target ostrevin -j "$(nproc)"
  fi
  if unshare -rm true 2>/dev/null; then
    OSTREVIN_SHOTS_PRIVATE=1 exec unshare -rm "$0" "$@"
  fi
fi

bin="$(mktemp -d)"
trap 'rm -rf "$bin"' EXIT
if [ -n "$OSTREVIN_SHOTS_PRIVATE" ]; then
  mount -t tmpfs tmpfs /home
  home=/home/yamada
else
  home="$bin/home"
fi
docs="$home/文書"
long="$docs/2026年度/社内報/第12号 特集「これからの働き方を考える」/インタビュー原稿"
mkdir -p "$long" "$docs/お知らせ" "$home/変換結果"
# Shift-JIS files, two of them with platform-dependent characters.
printf '\261\262\263 \207\100\207\101 \204\237\r\n' >"$docs/お知らせ/半角カナと丸数字.txt"  # ｱｲｳ ①② ─
printf '\202\261\202\361\202\311\202\277\202\315\r\n\372\100\r\n' >"$docs/お知らせ/挨拶.txt"  # こんにちは ⅰ(0xFA40)
printf 'plain ASCII\r\n' >"$docs/readme.txt"
printf '\202\261\202\361\202\311\202\277\202\315\r\n' >"$long/営業部 山田さん インタビュー（最終稿・校正済み）.txt"
# A private settings file beside a private copy: the run must not read or
# change the user's.
cp "$build/app/ostrevin" "$bin/ostrevin"
cp app/resources/ostrevin.htm "$bin/ostrevin.htm"
printf '[Folder]\nDestination=%s/変換結果\nKanjiConvert=1\nKanjiCode=0\nUseTable=1\nTablePath=%s/表記統一.txt\nRegExp=0\nNoOutput=1\n' \
  "$home" "$home" >"$bin/ostrevin.ini"

mkdir -p docs
(cd "$home" && HOME="$home" LANG=ja_JP.UTF-8 OSTREVIN_SCREENSHOTS="$OLDPWD/docs" \
  xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$bin/ostrevin" 文書)
ls -l docs/main.png docs/resized.png docs/stop.png docs/scan.png docs/about.png
