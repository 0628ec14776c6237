<?php
// Demo board: settings shared by every page.
$bbtitle = "Demo Forum";
$templateversion = "2.2.9";
function gettemplate($name) { return "<!-- template $name -->"; }
function dooutput($text) { echo $text; }
?>
