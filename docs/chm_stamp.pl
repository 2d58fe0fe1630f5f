#!/usr/bin/perl
# chmcmd writes the time of day of the build, in milliseconds, into two
# places of a help file: the file header and entry 10 of its #SYSTEM file
# (which is stored uncompressed). This sets both to the time of day of a
# given Unix time, so that two builds of the same pages are the same bytes.
# Usage: chm_stamp.pl KOVRateCalc.chm UNIX_TIME
use strict;
use warnings;

my ($path, $time) = @ARGV;
die "usage: chm_stamp.pl FILE.chm UNIX_TIME\n" unless defined $time && $time =~ /^\d+$/;
open(my $file, '+<:raw', $path) or die "$path: $!\n";
my $chm = do { local $/; <$file> };
die "$path: not a version 3 help file\n" unless substr($chm, 0, 8) eq "ITSF\x03\0\0\0";
my $milliseconds = ($time % 86400) * 1000;

substr($chm, 0x10, 4) = pack('N', $milliseconds);

# The directory entry of /#SYSTEM: its name, then its section, offset and
# length as 7-bit encoded numbers; section 0 starts where the header says.
sub encoded_number {
  my ($at) = @_;
  my $value = 0;
  my $byte;
  do {
    $byte = ord(substr($chm, $$at++, 1));
    $value = ($value << 7) | ($byte & 0x7f);
  } while ($byte & 0x80);
  return $value;
}
my $at = index($chm, "\x08/#SYSTEM");
die "$path: no #SYSTEM file\n" if $at < 0;
$at += 9;
die "$path: #SYSTEM is compressed\n" if encoded_number(\$at) != 0;
my $system = unpack('Q<', substr($chm, 0x58, 8)) + encoded_number(\$at);
my $end = $system + encoded_number(\$at);

# #SYSTEM: a version number, then entries of code, length and data.
my $entry = $system + 4;
while ($entry + 4 <= $end) {
  my ($code, $length) = unpack('v v', substr($chm, $entry, 4));
  if ($code == 10 && $length >= 4) {
    substr($chm, $entry + 4, 4) = pack('V', $milliseconds);
    seek($file, 0, 0) or die "$path: $!\n";
    print $file $chm or die "$path: $!\n";
    close($file) or die "$path: $!\n";
    exit 0;
  }
  $entry += 4 + $length;
}
die "$path: no time stamp in #SYSTEM\n";
