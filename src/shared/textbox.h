#pragma once
// Scrolling helpers for the multi-line log boxes.

#include <QtGlobal>

class QAbstractScrollArea;
class QPlainTextEdit;

// Shows the last line of the box.
void Scroll_To_Bottom(QAbstractScrollArea *box);

// Scrolls the box by count lines (negative: towards the top) and gives the focus
// back to the control that had it. Returns 1 when the box scrolls by lines.
qint32 Scroll_Text_Lines(QPlainTextEdit *box, qint16 count);
