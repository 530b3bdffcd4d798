#!/bin/sh
# Reading settings files: `ostrevin-cli convert --settings FILE` (an empty
# list, so the run ends right after the file is read) beside a perl INI reader
# that keeps the first value of each key of each section in a hash (it indexes
# every key; ostrevin indexes only the sections it reads). Two files:
#  - sections: 100,000 sections of one key, then [Files] with 100,000 entries
#    and [Folder] last (every lookup crosses the many sections);
#  - keys: 64 MiB of key lines in one foreign section.
# Wall-clock milliseconds and, where GNU time is installed, the peak resident
# size in KiB and its ratio to the file's size.
# Usage: bench/settings_vs_perl.sh [build-dir]   (default build-bench, Release)
set -e
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREVIN_BUILD_BENCH=ON \
  -DOSTREVIN_BUILD_APP=OFF >/dev/null
cmake --build "$build" --target ostrevin-cli -j2 >/dev/null
cli="$build/cli/ostrevin-cli"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

perl -e '
  open my $s, ">", "$ARGV[0]/sections.ini" or die;
  print $s "[s$_]\nk=v\n" for 0 .. 99999;
  print $s "[Files]\nCount=100000\n";
  print $s "file$_=/home/user/documents/name_$_.txt\n" for 0 .. 99999;
  print $s "[Folder]\nNoOutput=1\n";
  open my $k, ">", "$ARGV[0]/keys.ini" or die;
  print $k "[Folder]\nDestination=/tmp\n[Other]\n";
  my ($n, $i) = (0, 0);
  while ($n < 64 * 1048576) { my $l = "key$i=some value text $i\n"; print $k $l; $n += length $l; $i++ }
' "$tmp"

cat >"$tmp/read.pl" <<'EOF2'
use strict;
use warnings;
open my $in, "<:raw", $ARGV[0] or die "$ARGV[0]: $!";
local $/;
my %sections;
my $current;
for my $line (split /\r\n|\n|\r/, <$in>) {
  if ($line =~ /^[ \t]*\[[ \t]*([^\]]*?)[ \t]*(?:\]|$)/) {
    $current = $sections{lc $1} //= {};
  } elsif ($current && $line =~ /^[ \t]*([^=;][^=]*?)[ \t]*=[ \t]*(.*?)[ \t]*$/) {
    $current->{lc $1} //= $2;
  }
}
my $files = $sections{files} // {};
my @list = map { $files->{"file$_"} // "" } 0 .. (($files->{count} // 0) - 1);
print scalar(@list), "\n";
EOF2

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }
peak() {  # peak resident KiB of a command, or "-" without GNU time
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
  else
    echo -
  fi
}

printf '%-9s %9s %9s %9s %9s %9s %9s %9s\n' file KiB cli_ms perl_ms cli/perl cli_KiB perl_KiB cli_x_size
for name in sections keys; do
  file="$tmp/$name.ini"
  size=$(($(wc -c <"$file") / 1024))
  t0=$(seconds)
  "$cli" convert --settings "$file" >/dev/null 2>&1 || true
  t1=$(seconds)
  perl "$tmp/read.pl" "$file" >/dev/null
  t2=$(seconds)
  c=$(peak sh -c '"$0" convert --settings "$1" 2>/dev/null; true' "$cli" "$file")
  p=$(peak perl "$tmp/read.pl" "$file")
  awk -v n="$name" -v s="$size" -v c="$(elapsed "$t0" "$t1")" -v p="$(elapsed "$t1" "$t2")" \
    -v cm="$c" -v pm="$p" 'BEGIN {
      ratio = (cm == "-") ? "-" : sprintf("%.1f", cm / s)
      printf "%-9s %9d %9d %9d %9.2f %9s %9s %9s\n", n, s, c, p, c / p, cm, pm, ratio }'
done
