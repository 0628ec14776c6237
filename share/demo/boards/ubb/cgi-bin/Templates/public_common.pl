# Demo board: common template pieces.
$TableWidth = "95%";
$TableBorder = "0";
$FooterText = "All times are local.";
1;
