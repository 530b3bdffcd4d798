#!/bin/sh
# Times `ostrevin-cli convert` against iconv | sed, nkf and perl -0777 doing
# the same job on the same files in the same run (hyperfine, best of several
# runs), checks that every peer's output is the same bytes as Ostrevin's
# (and stops if not), and prints per row the ratio peer time / Ostrevin time
# beside the goal, and the peak memory of each command (/usr/bin/time -f %M).
# Every output is a new file in a fresh folder, as in a first run. The rows
# of files converted into a folder also time the floor (bench/copy_floor.cpp:
# the same files read and written unchanged, and one syncfs), whose ratio
# says how close Ostrevin comes to it.
# Each row is timed in both orders, Ostrevin first and last.
# Usage: bench/vs_peers.sh [--quick] [--only=WORD] [--linear] [path/to/ostrevin-cli]
#   --quick: 4 MiB files, 500 small files and 3 runs instead of 16 MiB, 2,000
#   and 5. --only=WORD: only the rows whose name holds WORD (EUC, HTML, small,
#   table...). --linear: no peers; Ostrevin alone on a quarter of each input
#   and on the whole, against the limit of 4.4 times the time for 4 times the
#   text. Without a path a Release ostrevin-cli is built in build-bench.
# TMPDIR picks where the files go: a real disk measures the flushes too.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
mib=16
small=2000
runs=5
cli=
only=
linear=0
for arg in "$@"; do
  case "$arg" in
    --quick) mib=4 small=500 runs=3 ;;
    --only=*) only=${arg#--only=} ;;
    --linear) linear=1 ;;
    *) cli=$arg ;;
  esac
done
tools/deps.sh --bench
if [ -z "$cli" ]; then
  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DOSTREVIN_BUILD_BENCH=ON \
    -DOSTREVIN_BUILD_APP=OFF >/dev/null
  cmake --build build-bench --target ostrevin-cli -j2 >/dev/null
  cli=build-bench/cli/ostrevin-cli
fi
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
peers="perl $root/bench/vs_peers.pl"
floor=$work/copy_floor
c++ -O2 -o "$floor" "$root/bench/copy_floor.cpp"
bytes=$((mib * 1048576))

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $mib MiB files, $small small files, best of $runs runs"
# inputs FOLDER BYTES SMALL-FILES: every input file of the rows in FOLDER.
inputs() {
  mkdir -p "$1/small"
  $peers text "$2" >"$1/sjis.txt"
  iconv -f CP932 -t EUC-JP "$1/sjis.txt" >"$1/euc.txt"
  iconv -f CP932 -t ISO-2022-JP "$1/sjis.txt" >"$1/jis.txt"
  iconv -f CP932 -t UTF-8 "$1/sjis.txt" >"$1/utf8.txt"
  $peers html "$2" >"$1/page.htm"
  $peers plain-table >"$1/plain.tbl"
  $peers pattern-table >"$1/pattern.tbl"
  $peers split "$1/euc.txt" "$1/small" "$3"
}
inputs "$work" "$bytes" "$small"
# The same inputs a quarter as large, below $work/q.
[ "$linear" = 0 ] || inputs "$work/q" $((bytes / 4)) $((small / 4))

# Every command of a row writes below $work/o, emptied before each run.
out=$work/o
sep=$(printf '\037')  # between the fields of a peer: its name and command hold "|"
fresh="rm -rf $out && mkdir -p $out/cli $out/peer"
ost="$cli convert --yes --dest $out/cli"

# row NAME GOALS INPUT OSTREVIN-OUTPUT OSTREVIN-ARGS PEER-NAME PEER-COMMAND PEER-OUTPUT ...
# GOALS is one word per peer ("3" for a goal of 3x, "-" for none). Times each
# command, checks each peer's output against Ostrevin's (unless it is "-",
# as for the floor, which does another job), and appends one line per peer
# to $work/rows.
row() {
  name=$1 goals=$2 input=$3 cli_out=$4 cli_args=$5
  shift 5
  case "$name" in *"$only"*) ;; *) return 0 ;; esac
  echo "timing: $name" >&2
  if [ "$linear" = 1 ]; then
    linear_row "$name" "$cli_args"
    return 0
  fi
  set -- "$ost $cli_args" "$@"
  commands=$1
  shift
  peer_list=""
  while [ $# -gt 0 ]; do
    peer_list="$peer_list$1$sep$2$sep$3
"
    shift 3
  done
  # hyperfine twice: Ostrevin first and then the peers, and the other way
  # round. The first command of a run can pay for what the last row left
  # behind (on ext4, inodes freed by a mass delete are slow to reuse), so
  # each command's best time is taken over both orders.
  printf '%s' "$peer_list" | {
    set -- -n ostrevin "$commands"
    reversed=""
    while IFS=$sep read -r peer command output; do
      set -- "$@" -n "$peer" "$command"
      reversed="$peer$sep$command
$reversed"
    done
    hyperfine --style none --warmup 1 --runs "$runs" --prepare "$fresh" \
      --export-csv "$work/times.csv" --shell=sh "$@" >/dev/null 2>"$work/hyperfine.err" ||
      { cat "$work/hyperfine.err" >&2; exit 1; }
    set --
    while IFS=$sep read -r peer command; do
      [ -n "$peer" ] && set -- "$@" -n "$peer" "$command"
    done <<EOF_REVERSED
$reversed
EOF_REVERSED
    hyperfine --style none --warmup 1 --runs "$runs" --prepare "$fresh" \
      --export-csv "$work/times2.csv" --shell=sh "$@" -n ostrevin "$commands" >/dev/null \
      2>"$work/hyperfine.err" || { cat "$work/hyperfine.err" >&2; exit 1; }
    tail -n +2 "$work/times2.csv" >>"$work/times.csv"
  }
  # The outputs of the last run, and the peak memory of one more run each.
  sh -c "$fresh"
  cli_kib=$(peak_kib "$commands")
  i=0
  printf '%s' "$peer_list" | while IFS=$sep read -r peer command output; do
    i=$((i + 1))
    goal=$(echo "$goals" | cut -d' ' -f"$i")
    sh -c "$fresh"
    sh -c "$commands" >/dev/null
    peer_kib=$(peak_kib "$command")
    if [ "$output" != - ] && ! diff -r "$cli_out" "$output" >/dev/null; then
      echo "OUTPUTS DIFFER: $name: $peer against ostrevin-cli ($output, $cli_out)" >&2
      exit 1
    fi
    awk -F, -v name="$name" -v peer="$peer" -v goal="$goal" -v ck="$cli_kib" -v pk="$peer_kib" \
      -v in_kib="$(largest_kib "$input")" '
      NR > 1 { gsub(/"/, "", $1); if (!($1 in best) || $7 < best[$1]) best[$1] = $7 }
      END {
        r = best[peer] / best["ostrevin"]
        verdict = goal == "-" ? "" : (r >= goal ? "reached" : "below")
        times = in_kib >= 1024 ? sprintf("%.2f", ck / in_kib) : "-"
        printf "%s\037%s\037%.3f\037%.3f\037%.2f\037%s\037%s\037%d\037%d\037%s\n", name, peer,
          best["ostrevin"], best[peer], r, goal == "-" ? "-" : ">= " goal, verdict, ck / 1024,
          pk / 1024, times
      }' "$work/times.csv" >>"$work/rows"
  done
}

# linear_row NAME OSTREVIN-ARGS: Ostrevin on the quarter inputs and on the
# whole ones; appends the times, their ratio and the two peaks of memory to
# $work/rows (a run that streams its file keeps the same peak).
linear_row() {
  quarter="$ost $(printf '%s' "$2" | sed "s#$work/#$work/q/#g")"
  hyperfine --style none --warmup 1 --runs "$runs" --prepare "$fresh" \
    --export-csv "$work/times.csv" --shell=sh -n quarter "$quarter" -n whole "$ost $2" \
    >/dev/null 2>"$work/hyperfine.err" || { cat "$work/hyperfine.err" >&2; exit 1; }
  sh -c "$fresh"
  quarter_kib=$(peak_kib "$quarter")
  sh -c "$fresh"
  whole_kib=$(peak_kib "$ost $2")
  awk -F, -v name="$1" -v qk="$quarter_kib" -v wk="$whole_kib" '
    NR > 1 { gsub(/"/, "", $1); best[$1] = $7 }
    END {
      r = best["whole"] / best["quarter"]
      printf "%s\037%.3f\037%.3f\037%.2f\037%s\037%d\037%d\n", name, best["quarter"],
        best["whole"], r, r <= 4.4 ? "within" : "OVER", qk / 1024, wk / 1024
    }' "$work/times.csv" >>"$work/rows"
}

# The size of the largest file at a path (a file or a folder), in KiB.
largest_kib() {
  find "$1" -type f -printf '%s\n' | sort -n | tail -1 | awk '{ print $1 / 1024 }'
}

# The peak resident memory of one run of a shell command, in KiB.
peak_kib() {
  /usr/bin/time -f %M -o "$work/peak" sh -c "$1" >/dev/null 2>&1
  cat "$work/peak"
}

: >"$work/rows"
row "EUC -> SJIS CRLF" "3 10 -" "$work/euc.txt" "$out/cli/euc.txt" "--kanji euc $work/euc.txt" \
  "iconv|sed" "iconv -f EUC-JP -t CP932 $work/euc.txt | sed 's/\$/\r/' >$out/peer/euc.txt" "$out/peer/euc.txt" \
  "nkf" "nkf -x -s -E -Lw $work/euc.txt >$out/peer/euc.txt" "$out/peer/euc.txt" \
  "floor" "$floor $out/peer $work/euc.txt" -
row "JIS -> SJIS CRLF" "- -" "$work/jis.txt" "$out/cli/jis.txt" "--kanji jis $work/jis.txt" \
  "iconv|sed" "iconv -f ISO-2022-JP -t CP932 $work/jis.txt | sed 's/\$/\r/' >$out/peer/jis.txt" "$out/peer/jis.txt" \
  "nkf" "nkf -x -s -J -Lw $work/jis.txt >$out/peer/jis.txt" "$out/peer/jis.txt"
row "UTF-8 -> SJIS CRLF" "2 - -" "$work/utf8.txt" "$out/cli/utf8.txt" "--kanji utf8 $work/utf8.txt" \
  "iconv|sed" "iconv -f UTF-8 -t CP932 $work/utf8.txt | sed 's/\$/\r/' >$out/peer/utf8.txt" "$out/peer/utf8.txt" \
  "nkf" "nkf -x -s -W -Lw $work/utf8.txt >$out/peer/utf8.txt" "$out/peer/utf8.txt" \
  "floor" "$floor $out/peer $work/utf8.txt" -
row "HTML stripped" "4" "$work/page.htm" "$out/cli/page.htm.txt" "--kanji off --strip-html $work/page.htm" \
  "perl -0777" "$peers strip $work/page.htm >$out/peer/page.htm.txt" "$out/peer/page.htm.txt"
# Deleting thousands of files before each run would make the next ones slow
# to create (ext4 skips recently freed inodes), for both sides alike: the
# earlier outputs are moved aside instead, and deleted after the row.
fresh_by_deleting=$fresh
fresh="mkdir -p $work/aside && { [ ! -d $out ] || mv $out $work/aside/\$\$; } && mkdir -p $out/cli $out/peer"
row "$small small EUC files" "8 -" "$work/small" "$out/cli" "--kanji euc $work/small" \
  "perl Encode" "$peers encode $out/peer $work/small/*" "$out/peer" \
  "floor" "$floor $out/peer $work/small/*" -
rm -rf "$work/aside"
fresh=$fresh_by_deleting
row "20-entry plain table" "4" "$work/sjis.txt" "$out/cli/sjis.txt" "--kanji off --table $work/plain.tbl $work/sjis.txt" \
  "perl -0777" "$peers replace $work/plain.tbl $work/sjis.txt >$out/peer/sjis.txt" "$out/peer/sjis.txt"
row "6-command pattern table" "2" "$work/sjis.txt" "$out/cli/sjis.txt" "--kanji off --table $work/pattern.tbl --regexp $work/sjis.txt" \
  "perl -0777" "$peers commands $work/pattern.tbl $work/sjis.txt >$out/peer/sjis.txt" "$out/peer/sjis.txt"

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$linear" = 1 ]; then
  echo "Seconds are the best of $runs runs; the limit for 4 times the text is 4.4 times the time."
  echo "Memory: peak resident MiB of one run on the quarter and on the whole inputs."
  awk -F"$sep" 'BEGIN { printf "%-24s %8s %8s %7s %-7s %6s %6s\n", "row", "quarter", "whole", "ratio", "", "mem q", "mem w" }
    { printf "%-24s %8s %8s %7s %-7s %6s %6s\n", $1, $2, $3, $4, $5, $6, $7 }' "$work/rows"
  exit 0
fi
echo "Seconds are the best of $runs runs; ratio = peer / ostrevin (above 1: Ostrevin is faster;"
echo "for the floor, the share of Ostrevin's time that any converter would spend)."
echo "Memory: peak resident MiB; 'x in': Ostrevin's peak over the largest input file (of 1 MiB or more)."
awk -F"$sep" 'BEGIN { printf "%-24s %-11s %8s %8s %7s %6s %-8s %7s %7s %6s\n", "row", "peer", "ostrevin", "peer", "ratio", "goal", "", "mem", "peer", "x in" }
  { printf "%-24s %-11s %8s %8s %7s %6s %-8s %7s %7s %6s\n", $1, $2, $3, $4, $5, $6, $7, $8, $9, $10 }' "$work/rows"
