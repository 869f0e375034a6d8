#pragma once

class QLabel;
class QWidget;

// Ties a box to the label beside it, for screen readers: the box is named
// after the label's caption (without its closing colon), and the label is
// the box's buddy, so the two are related. Nothing visible changes, and no
// shortcut key is made.
void labelBox(QLabel* label, QWidget* box);
