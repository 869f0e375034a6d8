#pragma once

class QLabel;
class QWidget;

// Ties a box to the label beside it, for screen readers: the box is named
// after the label's caption (without its closing colon), and the label is
// the box's buddy, so the two are related. Nothing visible changes, and no
// shortcut key is made.
void labelBox(QLabel* label, QWidget* box);

// What screen readers need of the program's own controls: its windows as
// windows or dialogs, the status bar as a status bar, notices as
// notifications, and password boxes that never send what is typed in them.
// Call it once, before the first window opens.
void installScreenReaderSupport();
