#include "shared/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {
Message_hook &hook()
{
    static Message_hook h;
    return h;
}
} // namespace

Message_hook Set_Message_Hook(Message_hook h)
{
    Message_hook previous = std::move(hook());
    hook() = std::move(h);
    return previous;
}

void Show_Message(const QString &text, Message_icon icon, const QString &title)
{
    if (hook()) {
        hook()(Shown_message{text, icon, title});
        return;
    }
    QMessageBox box(QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationDisplayName() : title);
    switch (icon) {
    case Message_icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Message_icon::Information: box.setIcon(QMessageBox::Information); break;
    case Message_icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Message_icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}
