# The perl side of bench/vs_peers.sh: makes its input files and does the
# jobs of the perl peers. Every text is bytes (no `use utf8`), as perl -0777
# reads a file.
#   perl vs_peers.pl text BYTES            Shift-JIS prose, LF line ends
#   perl vs_peers.pl html BYTES            a Shift-JIS web page
#   perl vs_peers.pl plain-table           the 20-entry replacement table
#   perl vs_peers.pl pattern-table         the 6 pattern commands
#   perl vs_peers.pl split FILE DIR N      N small files cut from FILE
#   perl vs_peers.pl strip FILE            peer: HTML stripping
#   perl vs_peers.pl replace TABLE FILE    peer: the plain table
#   perl vs_peers.pl commands TABLE FILE   peer: the pattern commands
#   perl vs_peers.pl encode DIR FILE...    peer: EUC files into DIR with Encode
# Every peer normalises line ends first and writes CR LF, as the converter
# does; the outputs are compared byte for byte by the shell script.
use strict;
use warnings;

my $mode = shift // die "usage: see the head of $0\n";

# A fixed generator, so that every run sees the same files.
my $seed = 20261207;
sub pick { $seed = ($seed * 1103515245 + 12345) % 2147483648; return int($seed / 65536) % $_[0]; }

# Shift-JIS: hiragana 0x829F-0x82F1; katakana 0x8340-0x8396 (no 0x7F);
# kanji of the even rows of level 1 (lead 0x89-0x97, trail 0x9F-0xFC), which
# every converter maps alike; 、 0x8141, 。 0x8142, 「 0x8175, 」 0x8176.
sub japanese_char {
  my $kind = pick(10);
  return "\x82" . chr(0x9F + pick(0x53)) if $kind < 4;
  if ($kind < 6) { my $t = 0x40 + pick(0x56); $t++ if $t >= 0x7F; return "\x83" . chr($t); }
  return chr(0x89 + pick(15)) . chr(0x9F + pick(0x5E));
}

# The words the tables look for (東京 大阪 株式会社 日本語), among others.
my @kanji_words = ("\x93\x8C\x8B\x9E", "\x91\xE5\x8D\xE3", "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0",
  "\x93\xFA\x96\x7B\x8C\xEA");
my @ascii_words = qw(the fox colour quick text 2026 42 x-ray box &amp; &AMP; &lt; &gt;
  http://example.jp Mix 7);

# A line of prose. ASCII words always follow a space, so that no search
# string can begin inside a double-byte character.
sub prose_line {
  my $line = pick(6) == 0 ? (pick(2) ? "  " : "\t") : "";
  for (1 .. 4 + pick(10)) {
    my $kind = pick(8);
    if ($kind < 4) {
      $line .= japanese_char() for 1 .. 2 + pick(6);
      $line .= pick(2) ? "\x81\x41" : "\x81\x42" if pick(3) == 0;
    } elsif ($kind == 4) {
      $line .= $kanji_words[pick(scalar @kanji_words)];
    } elsif ($kind == 5) {
      $line .= "\x81\x75" . japanese_char() . japanese_char() . "\x81\x76";
    } else {
      $line .= " " . $ascii_words[pick(scalar @ascii_words)] . " ";
    }
  }
  return $line . "\n";
}

# One MiB of lines, repeated to the size asked, cut after a line end.
sub text_of {
  my ($bytes, $make) = @_;
  my $chunk = "";
  $chunk .= $make->() while length($chunk) < 1 << 20;
  my $text = $chunk x (int($bytes / length $chunk) + 1);
  return substr($text, 0, rindex($text, "\n", $bytes - 1) + 1);
}

sub html_block {
  my @inline = ("<b>", "</b>", "<a href=\"http://example.jp/?a=1&amp;b=2\">", "</a>",
    "&nbsp;", "&amp;", "&lt;b&gt;", "&quot;", "&copy;", "<span class=\"x\">", "</span>",
    "<br>");
  my $kind = pick(4);
  if ($kind == 0) { return "<div class=\"s\">\n\n\n<h2>" . prose_line() . "</h2>\n\n\n</div>\n"; }
  if ($kind == 1) { return "<ul>\n" . join("", map { "  <li>" . prose_line() } 1 .. 3) . "</ul>\n"; }
  my $p = "<p>";
  for (1 .. 4) { my $l = prose_line(); chomp $l; $p .= $l . $inline[pick(scalar @inline)]; }
  return $p . "</p>\n";
}

sub slurp {
  my ($file) = @_;
  open my $in, "<:raw", $file or die "$file: $!\n";
  local $/;
  my $text = <$in>;
  return $text // "";
}

sub print_crlf {
  my ($text) = @_;
  $text =~ s/\n/\r\n/g;
  binmode STDOUT;
  print $text;
}

sub normalised { my $text = slurp($_[0]); $text =~ s/\r\n?/\n/g; return $text; }

binmode STDOUT;
if ($mode eq "text") {
  print text_of($ARGV[0], \&prose_line);
} elsif ($mode eq "html") {
  print "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<title>\x93\x8C\x8B\x9E</title>\n</head>\n<body>\n";
  print text_of($ARGV[0], \&html_block);
  print "</body>\n</html>\n";
} elsif ($mode eq "plain-table") {
  # search TAB replacement; (株) is "(" 株 ")", ー 0x815B.
  print "# The plain table of bench/vs_peers.sh\n";
  print join("\t", @$_), "\n" for (
    ["\x93\x8C\x8B\x9E", "TOKYO"], ["\x91\xE5\x8D\xE3", "OSAKA"],
    ["\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0", "(\x8A\x94)"], ["\x93\xFA\x96\x7B\x8C\xEA", "Japanese"],
    ["colour", "color"], ["the", "THE"], ["fox", "dog"], ["&amp;", "&"], ["&lt;", "<"],
    ["&gt;", ">"], ["\x81\x42", ". "], ["\x81\x41", ", "], ["\x81\x75", "\""], ["\x81\x76", "\""],
    ["2026", "MMXXVI"], ["http://example.jp", "URL"], ["\x83\x48", "\x83\x49"], ["zzz", ""],
    ["quick", "slow"], ["\x81\x5B", "-"]);
} elsif ($mode eq "pattern-table") {
  # [ァ-ヶ]: ァ 0x8340, ヶ 0x8396.
  print "s/(\\d+)/<\$1>/g\ns/[\x83\x40-\x83\x96]+/X/g\ns/^\\s+//mg\ns/&amp;/&/ig\n",
    "s/.*?x//g\ntr/a-z/A-Z/\n";
} elsif ($mode eq "split") {
  my ($file, $dir, $count) = @ARGV;
  my $text = slurp($file);
  my $at = 0;
  for my $i (1 .. $count) {
    my $size = 200 + pick(1800);
    $at = 0 if $at + $size >= length $text;
    my $end = index($text, "\n", $at + $size);
    $end = length($text) - 1 if $end < 0;
    open my $out, ">:raw", sprintf("%s/f%05d.txt", $dir, $i) or die "$dir: $!\n";
    print $out substr($text, $at, $end + 1 - $at);
    $at = $end + 1;
  }
} elsif ($mode eq "strip") {
  my $text = normalised($ARGV[0]);
  $text =~ s/<[^>]*>?//g;
  $text =~ s/&nbsp;/ /ig;
  $text =~ s/&quot;/"/ig;
  $text =~ s/&gt;/>/ig;
  $text =~ s/&lt;/</ig;
  $text =~ s/&amp;/&/ig;
  1 while $text =~ s/\n\n\n/\n\n/g;
  print_crlf($text);
} elsif ($mode eq "replace" || $mode eq "commands") {
  my ($table, $file) = @ARGV;
  my @lines = grep { !/^#/ } split /\r?\n/, slurp($table);
  my $text = normalised($file);
  if ($mode eq "replace") {
    for (@lines) {
      my ($search, $replacement) = split /\t/;
      $replacement //= "";
      $text =~ s/\Q$search\E/$replacement/g if length $search;
    }
  } else {
    my $run = eval "sub { my \$r = shift; " . join("", map { "\$\$r =~ $_;\n" } @lines) . "}"
      or die $@;
    $run->(\$text);
  }
  print_crlf($text);
} elsif ($mode eq "encode") {
  require Encode;
  my ($dir, @files) = @ARGV;
  for my $file (@files) {
    my $text = slurp($file);
    Encode::from_to($text, "euc-jp", "cp932", Encode::FB_CROAK());
    $text =~ s/\r\n?/\n/g;
    $text =~ s/\n/\r\n/g;
    my ($name) = $file =~ m{([^/]+)$};
    open my $out, ">:raw", "$dir/$name" or die "$dir/$name: $!\n";
    print $out $text;
    close $out or die "$dir/$name: $!\n";
  }
} else {
  die "unknown mode $mode\n";
}
