#include "shared/desktop/window_helpers.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>

void Scroll_To_Bottom(QAbstractScrollArea *box)
{
    QScrollBar *bar = box->verticalScrollBar();
    bar->setValue(bar->maximum());
}

qint32 Scroll_Text_Lines(QPlainTextEdit *box, qint16 count)
{
    QPointer<QWidget> had_focus = QApplication::focusWidget();
    box->setFocus(Qt::OtherFocusReason);
    // A plain-text box's vertical scroll bar counts in lines.
    QScrollBar *bar = box->verticalScrollBar();
    bar->setValue(bar->value() + count);
    if (had_focus && had_focus != box)
        had_focus->setFocus(Qt::OtherFocusReason);
    return 1;
}

void Window_On_Top(QWidget *window)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    // Changing the flags re-creates the native window, which hides it.
    const bool was_visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (was_visible)
        window->show();
}
