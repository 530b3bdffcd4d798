#!/bin/sh
# Installs what is missing, builds, and converts the bundled samples in examples/
# into out/ (Shift-JIS with CR LF line ends): the texts through a simple table,
# the HTML page stripped of its tags and through a pattern-command table.
set -e
cd "$(dirname "$0")/.."
tools/deps.sh --app
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)"
mkdir -p out
echo "== ostrevin-cli convert: examples/ -> out/"
build/cli/ostrevin-cli convert --yes --kanji auto --table examples/table.txt --dest out examples/text
echo "== ostrevin-cli convert --strip-html, pattern table: examples/html/ -> out/*.txt"
build/cli/ostrevin-cli convert --yes --kanji auto --strip-html --table examples/pattern_table.txt \
  --regexp --dest out examples/html
echo "== ostrevin-cli detect out/"
build/cli/ostrevin-cli detect out
echo "== ostrevin-cli scan out/ (--utf8)"
build/cli/ostrevin-cli scan --utf8 out
echo
echo "The window: build/app/ostrevin examples/text/*"
