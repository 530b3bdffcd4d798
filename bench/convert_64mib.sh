#!/bin/sh
# Times `ostrevin-cli convert` on a generated 64 MiB EUC file (forced EUC,
# LF line ends, so every stage works and the output is written) and prints
# the throughput and, when GNU time is there, the peak memory.
# Usage: bench/convert_64mib.sh [path/to/ostrevin-cli]
set -e
cd "$(dirname "$0")/.."
cli="${1:-build/cli/ostrevin-cli}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM

# One line of EUC prose, repeated to 64 MiB.
line="$(tr -d '\r' < examples/text/euc.txt | head -2 | tr '\n' ' ')"
printf '%s\n' "$line" > "$work/line"
size=0
: > "$work/chunk"
while [ "$size" -lt 1048576 ]; do
  cat "$work/line" >> "$work/chunk"
  size=$(wc -c < "$work/chunk")
done
: > "$work/in.txt"
i=0
while [ "$i" -lt 64 ]; do cat "$work/chunk" >> "$work/in.txt"; i=$((i + 1)); done
mkdir "$work/out"
bytes=$(wc -c < "$work/in.txt")

run() {
  "$cli" convert --yes --kanji euc --dest "$work/out" "$work/in.txt" > /dev/null
}
start=$(date +%s.%N)
if [ -x /usr/bin/time ]; then
  /usr/bin/time -f "elapsed %e s (user %U s, system %S s; the rest is waiting for fsync), peak memory %M KiB" sh -c "$(command -v "$cli" || echo "$cli") convert --yes --kanji euc --dest '$work/out' '$work/in.txt' > /dev/null"
else
  run
fi
end=$(date +%s.%N)
awk -v b="$bytes" -v s="$start" -v e="$end" \
  'BEGIN { t = e - s; printf "input: %d bytes (%.1f MiB)\ntime: %.3f s\nthroughput: %.0f MB/s\n", b, b / 1048576, t, b / t / 1e6 }'
out=$(wc -c < "$work/out/in.txt")
echo "output: $out bytes"

# The same text through the filter (standard input to standard output, no
# file written) beside iconv on the same file in the same run; iconv converts
# the code only and leaves the line ends alone.
seconds() {
  start=$(date +%s.%N)
  sh -c "$1"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
}
filter=$(seconds "'$cli' convert -q --kanji euc - < '$work/in.txt' > /dev/null")
peer=$(seconds "iconv -f EUC-JP -t CP932 < '$work/in.txt' > /dev/null")
awk -v f="$filter" -v p="$peer" \
  'BEGIN { printf "filter: %.3f s, iconv -f EUC-JP -t CP932: %.3f s, ratio %.2f\n", f, p, f / p }'
