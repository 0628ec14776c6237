<?php
// Demo board: the moderators' start page.
echo "<h1>Moderator Panel</h1>";
?>
