#!/usr/bin/perl
# Demo board: the main script of a small Ultimate Bulletin Board installation.
use strict;
require "ubb_library.pl";
require "Variables/vars_config.cgi";

my $action = $ENV{QUERY_STRING} || "forums";
print "Content-type: text/html\n\n";
&print_header;
if ($action eq "forums") {
    &show_forum_summary;
}
&print_footer;
