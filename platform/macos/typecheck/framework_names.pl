#!/usr/bin/env perl
# Prints the names that the given framework headers hand to the linker, one a line: the classes
# they define, and the functions and constants they export. Declarations may span lines, so the
# headers are read without comments and preprocessor lines and cut into declarations at ; { and }.
#
# Usage: framework_names.pl <header>...
use strict;
use warnings;

local $/;
my $text = join '', <>;
$text =~ s{/\*.*?\*/}{ }gs;
$text =~ s{//[^\n]*}{}g;
$text =~ s{^[ \t]*#(?:[^\n]*\\\n)*[^\n]*}{}mg;

print "$1\n" while $text =~ /^\@interface\s+([A-Za-z_]\w*)\s*:/mg;
for my $declaration (split /[;{}]/, $text) {
    $declaration =~ s/\s+/ /g;
    # What follows the last export keyword (an `@end` may come before it); not extern "C".
    next unless $declaration =~ /.*\b(?:APPKIT_EXPORT|APPKIT_EXTERN|extern) (?!"C")(.*)$/;
    my $exported = $1;
    if ($exported =~ /([A-Za-z_]\w*)\s*\(/) {
        print "$1\n";    # a function: the name its parameters follow
    } elsif ($exported =~ /([A-Za-z_]\w*)\s*$/) {
        print "$1\n";    # a constant: the last name
    }
}
