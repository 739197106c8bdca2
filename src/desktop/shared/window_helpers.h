#pragma once
// Window helpers: scrolling the multi-line log boxes, keeping a window on top.

#include <QtGlobal>

class QAbstractScrollArea;
class QPlainTextEdit;
class QWidget;

// Shows the last line of the box.
void Scroll_To_Bottom(QAbstractScrollArea *box);

// Scrolls the box by count lines (negative: towards the top) and gives the focus
// back to the control that had it. Returns 1 when the box scrolls by lines.
qint32 Scroll_Text_Lines(QPlainTextEdit *box, qint16 count);

// Keeps the window above all windows that are not topmost, and above the main window
// (its transient parent), where it is and as large as it is.
void Window_On_Top(QWidget *window);
