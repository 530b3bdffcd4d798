#!/bin/sh
# Runs the engine benchmark (bench/regex_bench.cpp) and the same commands with
# perl -0777 over the same generated Shift-JIS texts (4 and 8 MiB), and prints
# one table: CPU milliseconds per run over the whole text (CPU time, so that
# other work on the machine does not count), the 8/4 MiB ratio
# (linearity: about 2.0) and engine time / perl time; then the long-line
# shapes of the benchmark, each over its own single line of 1 and 4 MiB, with
# the 4/1 MiB time ratio (linearity: about 4), engine time / perl time and the
# peak memory of both.
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
"$bench" --benchmark_format=csv --benchmark_min_time=0.5 --benchmark_filter=-line/ 2>/dev/null \
  >"$tmp/engine.csv"

# perl: slurp the file (-0777), then time the command on a fresh copy of the
# text; best of RUNS runs, process CPU time in milliseconds, then the peak
# memory of the process (VmHWM, KiB, the text included). perl goes quadratic
# on some of the long-line shapes below: a minute per call at most.
# Usage: perl_run FILE COMMAND RUNS
perl_run() {
  timeout 60 perl -0777 -e '
    use Time::HiRes qw(clock_gettime CLOCK_PROCESS_CPUTIME_ID);
    sub cpu { clock_gettime(CLOCK_PROCESS_CPUTIME_ID) }
    my ($file, $command, $runs) = @ARGV;
    open my $in, "<:raw", $file or die "$file: $!";
    my $text = <$in>;
    my $run = eval "sub { my \$t = shift; my \$n = (\$t =~ $command); return \$n }" or die $@;
    my $best = 1e9;
    for (1 .. $runs) {
      my $copy = $text;
      my $t0 = cpu();
      $run->($copy);
      my $t = cpu() - $t0;
      $best = $t if $t < $best;
    }
    open my $status, "<", "/proc/self/status";
    my ($peak) = join("", <$status>) =~ /^VmHWM:\s+(\d+)/m;
    printf "%.2f %d\n", $best * 1000, $peak // 0;
  ' "$1" "$2" "$3" || echo "timeout 0"
}
perl_time() { perl_run "$1" "$2" 5 | cut -d' ' -f1; }

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

# Shapes over one long line each (1 and 4 MiB), one process per run so that
# the peak memory is the run's own.
echo
printf '%-16s %9s %9s %6s %9s %9s %7s %8s %8s %8s\n' shape engine1 engine4 4/1 perl1 perl4 eng/perl \
  engKiB4 perlKiB4 message
"$bench" --long-lines >"$tmp/lines"
while read -r name command; do
  set -- $("$bench" --run-line "$name" 1048576)
  e1=$1
  set -- $("$bench" --run-line "$name" 4194304)
  e4=$1 m4=$2 message=$4
  "$bench" --make-line "$name" "$tmp/line" 1048576
  set -- $(perl_run "$tmp/line" "$command" 3)
  p1=$1
  "$bench" --make-line "$name" "$tmp/line" 4194304
  set -- $(perl_run "$tmp/line" "$command" 3)
  p4=$1 pm4=$2
  awk -v n="$name" -v e1="$e1" -v e4="$e4" -v p1="$p1" -v p4="$p4" -v m="$m4" -v pm="$pm4" \
    -v msg="$message" 'BEGIN {
    ratio = p4 == "timeout" ? "-" : sprintf("%.2f", e4 / (p4 > 0.01 ? p4 : 0.01))
    printf "%-16s %9.2f %9.2f %6.2f %9s %9s %7s %8d %8d %s\n", n, e1, e4, e4 / (e1 > 0.01 ? e1 : 0.01),
      p1, p4, ratio, m, pm, msg }'
done <"$tmp/lines"
echo "(CPU milliseconds, best of 3; 4/1 = 4 MiB time / 1 MiB time; eng/perl at 4 MiB, times"
echo " below 0.01 ms counted as 0.01; timeout: perl took over a minute; peak memory at 4 MiB;"
echo " message: the engine's, - for none)"
