#pragma once

namespace zp {

// Keeps every chord (a key held with Alt, Ctrl or Meta) from typing its character into a line, text,
// spin or combo box of the program: a chord no control takes, or whose control is disabled, then
// does nothing there, while the boxes' own chords (Ctrl+A, Ctrl+Z, Alt+Left) keep working. Installed
// once for the whole application; later calls do nothing.
void KeepChordsFromTyping();

} // namespace zp
