#include "desktop/message_log/display_lines.h"

#include "core/message_log/class_rolling_text.h"
#include "core/shared/platform.h"
#include "desktop/shared/window_helpers.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>

namespace {

// Keys that would type into a box: characters, Backspace, Enter, Escape and Ctrl
// with a letter. Moving keys (arrows, Tab, Delete, F-keys) are not typing.
bool Types_a_character(const QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    default:
        break;
    }
    if (key->modifiers().testFlag(Qt::ControlModifier) && key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z)
        return true;
    return !key->text().isEmpty();
}

} // namespace

QString Shown_line(const QString &line)
{
    if (line.size() <= Max_shown_line)
        return line;
    // Not between the two halves of a character outside the basic plane.
    const qsizetype cut = line.at(Max_shown_line - 1).isHighSurrogate() ? Max_shown_line - 1 : Max_shown_line;
    return line.left(cut) + QChar(0x2026); // …
}

void Display_Lines(const Class_rolling_text &buffer, QPlainTextEdit *box)
{
    // The whole text is built first and assigned once: the box shows the same as
    // after line-by-line assignment, without re-laying it out for every line.
    QString text;
    const qint16 n = buffer.Num_Used_Lines();
    for (qint16 i = 1; i <= n; ++i) {
        text += Shown_line(buffer.Text_line(i));
        text += QLatin1Char('\n');
    }
    box->setPlainText(text);
    Scroll_To_Bottom(box);
    // The text ends with a line break, so one line back puts the newest line at the bottom.
    // Scrolled without borrowing the focus: a line arriving must not take it from the
    // control the official is using (nor deselect text there, nor move it while the
    // window is in the background).
    QScrollBar *bar = box->verticalScrollBar();
    bar->setValue(bar->value() - 1);
}

void Scroll_Log_Lines(QPlainTextEdit *box, int count)
{
    // The shared helper gives the focus back to the focused control of the active
    // window; when ours is not active it has none, so remember our window's own.
    QWidget *window = box->window();
    QPointer<QWidget> had_focus = window->focusWidget();
    Scroll_Text_Lines(box, static_cast<qint16>(count));
    if (window->focusWidget() != had_focus.data()) {
        if (had_focus)
            had_focus->setFocus(Qt::OtherFocusReason);
        else
            box->clearFocus();
    }
}

bool Refuse_typing(const QKeyEvent *key)
{
    if (!Types_a_character(key))
        return false;
    Platform::Beep();
    return true;
}
