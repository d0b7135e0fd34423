#!/usr/bin/perl
# Prints the length of one memo field's text for every record of a table, read by Perl's XBase module
# (Debian's libdbd-xbase-perl), an implementation independent of ours that follows dBASE IV's memo layout.
#
# usage: memo_lengths.pl PATH FIELD
use strict;
use warnings;
use XBase;

my ($path, $field) = @ARGV;
my $table = XBase->new($path) or die XBase->errstr;
for my $record (0 .. $table->last_record) {
    my ($deleted, $text) = $table->get_record($record, $field);
    print length($text // ''), "\n";
}
$table->close;
