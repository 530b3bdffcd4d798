# Runs a batch of pattern cases through perl, one case per input line, one
# answer per output line; used by perl_differential_test. Every field is hex
# so that any byte can pass. Byte strings only; patterns under /aa.
#
#   M flags pattern subject        -> "NO", "ERR", or "s,e s,e|- ..." for groups 0..n
#   S flags pattern repl subject   -> "count hex(result)" or "ERR"; flags may hold g
#   T flags search repl subject    -> "count hex(result)" or "ERR"
use strict;
no warnings;
binmode STDIN;
binmode STDOUT;

sub compile_pattern {
  my ($flags, $pattern) = @_;
  my $modifiers = $flags =~ tr/imsx//cdr;
  my $text = $modifiers eq '' ? $pattern : "(?$modifiers)$pattern";
  return eval { qr/$text/aa };
}

while (my $line = <STDIN>) {
  chomp $line;
  my ($kind, $flags, @fields) = split / /, $line, -1;
  $flags = pack('H*', $flags);
  my @data = map { pack('H*', $_) } @fields;
  if ($kind eq 'M') {
    my ($pattern, $subject) = @data;
    my $re = compile_pattern($flags, $pattern);
    if (!defined $re) { print "ERR\n"; next; }
    if ($subject =~ $re) {
      my @groups;
      for my $i (0 .. $#+) {
        push @groups, defined $-[$i] && defined $+[$i] ? "$-[$i],$+[$i]" : '-';
      }
      print join(' ', @groups), "\n";
    } else {
      print "NO\n";
    }
  } elsif ($kind eq 'S') {
    my ($pattern, $replacement, $subject) = @data;
    my $re = compile_pattern($flags, $pattern);
    if (!defined $re) { print "ERR\n"; next; }
    # The replacement is a double-quoted perl string: $1, $& and \n resolve.
    my $code = '"' . $replacement . '"';
    my $count = $flags =~ /g/ ? ($subject =~ s/$re/$code/gee) : ($subject =~ s/$re/$code/ee);
    print(($count || 0), ' ', unpack('H*', $subject), "\n");
  } elsif ($kind eq 'T') {
    my ($search, $replacement, $subject) = @data;
    my $modifiers = $flags =~ tr/cds//cdr;
    my $count = eval "\$subject =~ tr/$search/$replacement/$modifiers";
    if (!defined $count) { print "ERR\n"; next; }
    print "$count ", unpack('H*', $subject), "\n";
  } else {
    print "ERR\n";
  }
}
