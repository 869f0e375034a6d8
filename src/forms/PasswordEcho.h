#pragma once

// Qt's password boxes keep their text from screen readers, but still send each
// typed character in the text-changed events that screen readers echo. From
// this call on, those events of every password box carry the box's mask
// instead, one mask character for each character typed, pasted or removed.
// Call it before the first window opens.
void maskPasswordEcho();
