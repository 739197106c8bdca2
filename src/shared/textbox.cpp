#include "shared/textbox.h"

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
