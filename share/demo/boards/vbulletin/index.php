<?php
// Demo board: the forum home page of a small vBulletin installation.
require('./global.php');

$welcometext = "Welcome to the demo forum.";
eval("dooutput(\"".gettemplate('forumhome')."\");");
?>
