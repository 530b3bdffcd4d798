#!/bin/sh
# Times `ostrevin-cli convert` (automatic detection) on a generated 16 MiB
# UTF-8 file against `iconv -f UTF-8 -t CP932 | sed 's/$/\r/'` on the same
# file in the same run, checks that both outputs are the same bytes, and
# prints both times and their ratio.
# Usage: bench/convert_utf8_16mib.sh [path/to/ostrevin-cli]
set -e
cd "$(dirname "$0")/.."
cli="$(cd "$(dirname "${1:-build/cli/ostrevin-cli}")" && pwd)/$(basename "${1:-build/cli/ostrevin-cli}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM

# The bundled Shift-JIS sample, in UTF-8 with LF line ends, repeated to 16 MiB.
iconv -f CP932 -t UTF-8 examples/text/sjis.txt | tr -d '\r' > "$work/line"
: > "$work/chunk"
while [ "$(wc -c < "$work/chunk")" -lt 1048576 ]; do cat "$work/line" >> "$work/chunk"; done
: > "$work/in.txt"
i=0
while [ "$i" -lt 16 ]; do cat "$work/chunk" >> "$work/in.txt"; i=$((i + 1)); done
mkdir "$work/out"
bytes=$(wc -c < "$work/in.txt")

now() { date +%s.%N; }
best_cli=
best_peer=
for round in 1 2 3; do
  rm -f "$work/out/in.txt"
  start=$(now)
  "$cli" convert --yes --kanji auto --dest "$work/out" "$work/in.txt" > /dev/null
  end=$(now)
  t=$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')
  best_cli=$(awk -v a="$best_cli" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
  start=$(now)
  iconv -f UTF-8 -t CP932 "$work/in.txt" | sed 's/$/\r/' > "$work/peer.txt"
  end=$(now)
  t=$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')
  best_peer=$(awk -v a="$best_peer" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
done
cmp "$work/out/in.txt" "$work/peer.txt" && echo "outputs: the same bytes"
awk -v b="$bytes" -v c="$best_cli" -v p="$best_peer" 'BEGIN {
  printf "input: %d bytes (%.1f MiB UTF-8), best of 3 runs each\n", b, b / 1048576
  printf "ostrevin-cli convert:            %.3f s (%.0f MB/s)\n", c, b / c / 1e6
  printf "iconv -t CP932 | sed s/$/\\r/:   %.3f s (%.0f MB/s)\n", p, b / p / 1e6
  printf "ratio (peer time / ostrevin time): %.2f\n", p / c
}'
