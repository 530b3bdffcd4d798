#!/bin/sh
# Pathological sizes through the real command line: a 256 MiB file (EUC, LF
# line ends; converted into a folder and then in place), a 64 MiB line (HTML
# stripping, a pattern table), a table of 100,000 lines, nested quantifiers
# over a long line. For each: the exit status, the time and the peak memory
# (GNU time) less that of converting an empty file (the program itself),
# checked against four times the largest file (source or table).
# Usage: tools/stress_sizes.sh [path/to/ostrevin-cli]   (needs perl, /usr/bin/time)
set -e
cd "$(dirname "$0")/.."
cli="$(realpath "${1:-build/cli/ostrevin-cli}")"
[ -x "$cli" ] || { echo "no ostrevin-cli at $cli: build it first"; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed"; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/out"
failed=0

# run NAME LARGEST_BYTES EXPECTED_STATUS ARGS...: runs ostrevin-cli convert and
# reports its time and peak memory.
run() {
  name=$1 largest=$2 expected=$3
  shift 3
  status=0
  /usr/bin/time -f "%e %M" -o "$work/time" "$cli" convert --yes "$@" \
    >"$work/stdout" 2>"$work/stderr" || status=$?
  set -- $(tail -1 "$work/time")
  seconds=$1 peak_kib=$2
  ratio=$(awk -v p="$peak_kib" -v b="${baseline_kib:-0}" -v l="$largest" \
    'BEGIN { printf "%.2f", (p - b) * 1024 / l }')
  verdict=ok
  if [ "$status" -ne "$expected" ]; then verdict="FAILED (exit $status, expected $expected)"; fi
  if awk -v r="$ratio" 'BEGIN { exit !(r > 4) }'; then verdict="FAILED (peak over 4x)"; fi
  [ "$verdict" = ok ] || failed=1
  printf '%-36s %7.2f s  peak %8d KiB  %6sx the largest file  %s\n' \
    "$name" "$seconds" "$peak_kib" "$ratio" "$verdict"
  [ "$verdict" = ok ] || sed 's/^/    /' "$work/stderr" | head -5
}

size_of() { wc -c < "$1"; }
larger() { [ "$1" -gt "$2" ] && echo "$1" || echo "$2"; }

# The program's own peak: an empty file.
: > "$work/empty.txt"
/usr/bin/time -f "%M" -o "$work/time" "$cli" convert --yes --dest "$work/out" "$work/empty.txt" \
  >/dev/null 2>&1
baseline_kib=$(tail -1 "$work/time")
rm -f "$work/out/empty.txt"
echo "peaks below are counted above the program's own $baseline_kib KiB (an empty file)"

# 256 MiB of EUC text ("日本語のテキスト" and ASCII), LF line ends.
perl -e '
  my $line = "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8 sample line 0123456789\n";
  my $chunk = $line x (1048576 / length($line));
  print $chunk for 1 .. 256;' > "$work/big.txt"
big=$(size_of "$work/big.txt")
run "256 MiB EUC, auto, into a folder" "$big" 0 --kanji auto --dest "$work/out" "$work/big.txt"
cmp -s "$work/big.txt" "$work/out/big.txt" && { echo "    output equals the input"; failed=1; }
run "256 MiB EUC, auto, in place" "$big" 0 --kanji auto --overwrite "$work/big.txt"
leftover=$(find "$work" -maxdepth 1 -name '.big.txt.*' | wc -l)
[ "$leftover" -eq 0 ] || { echo "    temporary file left"; failed=1; }
rm -f "$work/big.txt" "$work/out/big.txt"

# One line of 64 MiB: Shift-JIS text with tags, no line end.
perl -e '
  my $unit = "\x93\xfa\x96\x7b\x8c\xea<b>text</b>&amp;a";
  my $chunk = $unit x (1048576 / length($unit));
  print $chunk for 1 .. 64;' > "$work/line.txt"
line=$(size_of "$work/line.txt")
run "64 MiB line, HTML stripping" "$line" 0 --strip-html --dest "$work/out" "$work/line.txt"
printf 's/a/A/g\ns/(\\x93\\xfa)/[$1]/\ntr/a-z/A-Z/\n' > "$work/pattern_table.txt"
run "64 MiB line, pattern table" "$line" 0 --table "$work/pattern_table.txt" --regexp \
  --dest "$work/out" "$work/line.txt"
printf 's/(?:a|b|<|>|[^a])+$/x/\n' > "$work/deep_table.txt"
run "64 MiB line, deep backtracking" "$line" 0 --table "$work/deep_table.txt" --regexp \
  --dest "$work/out" "$work/line.txt"
rm -f "$work/line.txt" "$work/out/"*

# A table of 100,000 lines over a 64 KiB file, in both modes (each entry is
# one pass over the text).
perl -e 'printf "<%d>\t[%d]\n", $_, $_ for 0 .. 99999' > "$work/simple_table.txt"
perl -e 'printf "s/<q%d>/x/g\n", $_ for 0 .. 99998; print "s/<(\\d+)>/($1)/g\n"' \
  > "$work/pattern_table.txt"
perl -e 'my $l = join(" ", map { "<$_>" } 0 .. 999) . "\n"; print $l x (65536 / length($l))' \
  > "$work/text.txt"
text=$(size_of "$work/text.txt")
run "100,000-line simple table, 64 KiB" \
  "$(larger "$text" "$(size_of "$work/simple_table.txt")")" 0 --table "$work/simple_table.txt" --simple \
  --dest "$work/out" "$work/text.txt"
run "100,000-line pattern table, 64 KiB" \
  "$(larger "$text" "$(size_of "$work/pattern_table.txt")")" 0 --table "$work/pattern_table.txt" --regexp \
  --dest "$work/out" "$work/text.txt"

[ "$failed" -eq 0 ] && echo "all sizes passed" || { echo "some sizes failed"; exit 1; }
