#include "desktop/shared/window_helpers.h"

#include "desktop/shared/forms.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QWindow>

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

namespace {

// Wayland has no "always on top"; a window kept above its parent is what every
// desktop offers. The parent is the main window: the first loaded, and still loaded.
void Keep_above_main_window(QWidget *window)
{
    const QList<QWidget *> loaded = Forms::Loaded_Forms();
    QWidget *main_window = loaded.isEmpty() ? nullptr : loaded.constFirst();
    if (!main_window || main_window == window)
        return;
    window->winId(); // the native windows, so the relation can be set before the window maps
    main_window->winId();
    if (window->windowHandle() && main_window->windowHandle())
        window->windowHandle()->setTransientParent(main_window->windowHandle());
}

} // namespace

void Window_On_Top(QWidget *window)
{
    if (!window)
        return;
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        Keep_above_main_window(window);
        return;
    }
    // Changing the flags re-creates the native window, which hides it.
    const bool was_visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    Keep_above_main_window(window);
    if (was_visible)
        window->show();
}
