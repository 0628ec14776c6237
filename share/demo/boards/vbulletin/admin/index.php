<?php
// Demo board: the control panel's start page.
require('./global.php');
echo "<h1>Control Panel</h1>";
echo "<ul><li><a href=\"options.php\">vBulletin Options</a></li></ul>";
?>
