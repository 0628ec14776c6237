# Demo board: shared routines.
sub print_header {
    print qq(<html><head><title>$vars_config{BBName}</title></head><body>\n);
}

sub show_forum_summary {
    print qq(<h1>Forums</h1>\n);
    print qq(<p>Welcome to $vars_config{BBName}.</p>\n);
}

sub print_footer {
    print qq(<hr><p>Powered by UBB</p></body></html>\n);
}
1;
