#!/bin/sh
# Runs the engine benchmark (bench/regex_bench.cpp) and the same commands with
# perl -0777 over the same generated Shift-JIS texts (4 and 8 MiB), and prints
# one table: CPU milliseconds per run over the whole text (CPU time, so that
# other work on the machine does not count), the 8/4 MiB ratio
# (linearity: about 2.0) and engine time / perl time.
# Usage: bench/regex_vs_perl.sh [build-dir]   (default build-bench, Release)
set -e
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREVIN_BUILD_BENCH=ON \
  -DOSTREVIN_BUILD_APP=OFF -DOSTREVIN_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target regex_bench -j2 >/dev/null
bench="$build/bench/regex_bench"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$bench" --make-text "$tmp/4" 4194304
"$bench" --make-text "$tmp/8" 8388608
"$bench" --commands >"$tmp/commands"
"$bench" --benchmark_format=csv --benchmark_min_time=0.5 2>/dev/null >"$tmp/engine.csv"

# perl: slurp the file (-0777), then time the command on a fresh copy of the
# text; best of five runs, process CPU time in milliseconds.
perl_time() {
  perl -0777 -e '
    use Time::HiRes qw(clock_gettime CLOCK_PROCESS_CPUTIME_ID);
    sub cpu { clock_gettime(CLOCK_PROCESS_CPUTIME_ID) }
    my ($file, $command) = @ARGV;
    open my $in, "<:raw", $file or die "$file: $!";
    my $text = <$in>;
    my $run = eval "sub { my \$t = shift; my \$n = (\$t =~ $command); return \$n }" or die $@;
    my $best = 1e9;
    for (1 .. 5) {
      my $copy = $text;
      my $t0 = cpu();
      $run->($copy);
      my $t = cpu() - $t0;
      $best = $t if $t < $best;
    }
    printf "%.2f\n", $best * 1000;
  ' "$1" "$2"
}

engine_time() {
  awk -F, -v name="\"$1/$2MiB\"" '$1 == name { printf "%.2f\n", $4 }' "$tmp/engine.csv"
}

printf '%-18s %10s %10s %6s %10s %10s %8s\n' command engine4 engine8 ratio perl4 perl8 eng/perl
while read -r name command; do
  e4=$(engine_time "$name" 4)
  e8=$(engine_time "$name" 8)
  p4=$(perl_time "$tmp/4" "$command")
  p8=$(perl_time "$tmp/8" "$command")
  awk -v n="$name" -v e4="$e4" -v e8="$e8" -v p4="$p4" -v p8="$p8" 'BEGIN {
    printf "%-18s %10.2f %10.2f %6.2f %10.2f %10.2f %8.2f\n", n, e4, e8, e8 / e4, p4, p8, e8 / p8 }'
done <"$tmp/commands"
echo "(CPU milliseconds per run; ratio = 8 MiB time / 4 MiB time; eng/perl at 8 MiB)"
