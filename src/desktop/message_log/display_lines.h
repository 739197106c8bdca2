#pragma once
// The log boxes: rewritten from their buffer, oldest line first, with the newest in
// view; scrolled; never typed into.

class Class_rolling_text;
class QKeyEvent;
class QPlainTextEdit;
class QString;

// A line longer than this is shown as its first Max_shown_line characters and an
// ellipsis: laying a line out takes time in proportion to its length, and a server may
// send lines of any length. The buffer keeps the line whole.
constexpr int Max_shown_line = 500;
QString Shown_line(const QString &line);

// A failure of the buffer (std::out_of_range) passes to the caller.
void Display_Lines(const Class_rolling_text &buffer, QPlainTextEdit *box);

// Scrolls the box by count lines and leaves the window's focus where it was, also
// while the window is not the active one.
void Scroll_Log_Lines(QPlainTextEdit *box, int count);

// The logs cannot be typed into: true, with a beep, for a key that would type, which
// the caller discards.
bool Refuse_typing(const QKeyEvent *key);
