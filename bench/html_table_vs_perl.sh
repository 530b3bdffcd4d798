#!/bin/sh
# HTML stripping and a 20-line pattern table over 64 MiB, beside perl -0777
# doing the same work in the same run, plus the cost of compiling a table line
# and 10,000 small files through the table (bench/html_table_bench.cpp).
#
# Two comparisons for each 64 MiB job:
#  - in memory: the stage alone on a text already read (engine: Google
#    Benchmark, CPU time; perl: the same substitutions on a slurped copy,
#    best of three);
#  - whole run: `ostrevin-cli convert` on the file against a perl -0777 script
#    that reads it, normalises line ends, does the same work and writes CR LF;
#    the two outputs are compared byte for byte.
# Usage: bench/html_table_vs_perl.sh [build-dir]   (default build-bench, Release)
set -e
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREVIN_BUILD_BENCH=ON \
  -DOSTREVIN_BUILD_APP=OFF >/dev/null
cmake --build "$build" --target html_table_bench ostrevin-cli -j2 >/dev/null
bench="$build/bench/html_table_bench"
cli="$build/cli/ostrevin-cli"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM
bytes=$((64 * 1048576))
"$bench" --make-html "$tmp/page.htm" "$bytes"
"$bench" --make-text "$tmp/text.txt" "$bytes"
"$bench" --table "$tmp/table.txt"
mkdir "$tmp/out"

# The perl side. $mode: "html" (tags, five entities, blank lines) or "table"
# (the table file's commands in order); $io: "memory" prints the best time in
# milliseconds of the work alone, "lines" the time of each table command,
# "file" writes the converted file to stdout.
cat >"$tmp/work.pl" <<'EOF'
use strict;
use warnings;
use Time::HiRes qw(time);
my ($mode, $io, $file, $table) = @ARGV;
open my $in, "<:raw", $file or die "$file: $!";
local $/;
my $source = <$in>;
my @commands;
if ($mode eq "table") {
  open my $t, "<:raw", $table or die "$table: $!";
  @commands = grep { length($_) >= 2 && !/^#/ } split /\n/, <$t>;
}
my $run_table = eval "sub { my \$r = shift; " .
  join("", map { "\$\$r =~ $_;\n" } @commands) . "}" or die $@;
sub work {
  my ($r) = @_;
  if ($mode eq "html") {
    $$r =~ s/<[^>]*>?//g;
    $$r =~ s/&nbsp;/ /ig;
    $$r =~ s/&quot;/"/ig;
    $$r =~ s/&gt;/>/ig;
    $$r =~ s/&lt;/</ig;
    $$r =~ s/&amp;/&/ig;
    1 while $$r =~ s/\n\n\n/\n\n/g;
  } else {
    $run_table->($r);
  }
}
if ($io eq "lines") {
  # Each table command alone over a fresh copy of the text: milliseconds.
  for my $command (@commands) {
    my $text = $source;
    $text =~ s/\r\n?/\n/g;
    my $one = eval "sub { \${\$_[0]} =~ $command }" or die $@;
    my $t0 = time;
    $one->(\$text);
    printf "%.0f\n", (time - $t0) * 1000;
  }
} elsif ($io eq "memory") {
  my $best = 1e9;
  for (1 .. 3) {
    my $copy = $source;
    $copy =~ s/\r\n?/\n/g;
    my $t0 = time;
    work(\$copy);
    my $t = time - $t0;
    $best = $t if $t < $best;
  }
  printf "%.0f\n", $best * 1000;
} else {
  my $text = $source;
  $text =~ s/\r\n?/\n/g;
  work(\$text);
  $text =~ s/\n/\r\n/g;
  binmode STDOUT;
  print $text;
}
EOF

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }

"$bench" --benchmark_filter='^(StripHtml|HtmlEntities|CollapseBlankLines|PatternTable|CompileLine)' \
  --benchmark_format=csv 2>/dev/null >"$tmp/engine.csv" || echo "html_table_bench exited with $?" >&2
# The small files: once on the disk of TMPDIR (each output is written and
# synced), once in memory (/dev/shm), where what is left is the work itself.
"$bench" --benchmark_filter='^SmallFiles' --benchmark_format=csv 2>/dev/null |
  sed 's/^"SmallFiles/"disk:SmallFiles/' >>"$tmp/engine.csv"
if [ -d /dev/shm ]; then
  TMPDIR=/dev/shm "$bench" --benchmark_filter='^SmallFiles' --benchmark_format=csv 2>/dev/null |
    sed 's/^"SmallFiles/"memory:SmallFiles/' >>"$tmp/engine.csv"
fi
# Names without Google Benchmark's "/iterations:N" and the small files' 0/1.
sed -i -e 's#/iterations:[0-9]*##' -e 's#^\("[a-z]*:SmallFiles10000/[a-z_]*\)/[01]"#\1"#' \
  "$tmp/engine.csv"
cpu_ms() { awk -F, -v name="\"$1\"" '$1 == name { printf "%.0f", $4 }' "$tmp/engine.csv"; }

echo "== 64 MiB, in memory (milliseconds; engine CPU time, perl best of 3)"
printf '%-28s %10s %10s %9s\n' job engine perl eng/perl
for job in html table; do
  if [ "$job" = html ]; then name=StripHtmlStage/64MiB; file=page.htm; else name=PatternTable20/64MiB; file=text.txt; fi
  e=$(cpu_ms "$name")
  p=$(perl "$tmp/work.pl" "$job" memory "$tmp/$file" "$tmp/table.txt")
  awk -v n="$name" -v e="$e" -v p="$p" 'BEGIN { printf "%-28s %10d %10d %9.2f\n", n, e, p, e / p }'
done
for name in StripHtmlTags/64MiB HtmlEntities/64MiB CollapseBlankLines/64MiB; do
  printf '  %-26s %10s\n' "$name" "$(cpu_ms "$name")"
done

echo "== each line of the table alone over the 64 MiB text (milliseconds; engine CPU, perl)"
perl "$tmp/work.pl" table lines "$tmp/text.txt" "$tmp/table.txt" >"$tmp/perl.lines"
i=0
while IFS= read -r command; do
  printf '  %2d %8s %8s  %s\n' "$i" "$(cpu_ms "PatternTableLine/64MiB/$i")" \
    "$(sed -n "$((i + 1))p" "$tmp/perl.lines")" "$(printf '%s' "$command" | iconv -f CP932 -t UTF-8)"
  i=$((i + 1))
done <"$tmp/table.txt"

echo "== 64 MiB, whole run from file to file (milliseconds, wall clock)"
printf '%-28s %10s %10s %9s %s\n' job cli perl cli/perl output
for job in html table; do
  if [ "$job" = html ]; then
    file=page.htm
    set -- --strip-html
    out="$tmp/out/page.htm.txt"
  else
    file=text.txt
    set -- --table "$tmp/table.txt" --regexp
    out="$tmp/out/text.txt"
  fi
  t0=$(seconds)
  "$cli" convert --yes "$@" --dest "$tmp/out" "$tmp/$file" >/dev/null
  t1=$(seconds)
  perl "$tmp/work.pl" "$job" file "$tmp/$file" "$tmp/table.txt" >"$tmp/perl.out"
  t2=$(seconds)
  if cmp -s "$out" "$tmp/perl.out"; then same="same bytes"; else same="OUTPUTS DIFFER"; fi
  awk -v n="$job" -v c="$(elapsed "$t0" "$t1")" -v p="$(elapsed "$t1" "$t2")" -v s="$same" \
    'BEGIN { printf "%-28s %10d %10d %9.2f %s\n", n, c, p, c / p, s }'
done

echo "== compiling one table line (microseconds of CPU per command, compile and a 11-byte run)"
awk -F, '$1 ~ /^"CompileLine\// { gsub(/"/, "", $1); printf "  %-16s %8.2f\n", $1, $4 }' "$tmp/engine.csv"
echo "== 10,000 small files (200-2000 bytes) through the batch run (milliseconds: wall, CPU)"
real_ms() { awk -F, -v name="\"$1\"" '$1 == name { printf "%.0f", $3 }' "$tmp/engine.csv"; }
for name in disk:SmallFiles10000/table disk:SmallFiles10000/no_table \
  memory:SmallFiles10000/table memory:SmallFiles10000/no_table; do
  printf '  %-26s %10s %10s\n' "$name" "$(real_ms "$name")" "$(cpu_ms "$name")"
done
