#pragma once
// The one way the program shows a modal message box. Tests install a hook that
// records (and so answers) each box instead of blocking on it.

#include <QString>
#include <functional>

enum class Message_icon { None, Information, Warning, Critical };

struct Shown_message
{
    QString text;
    Message_icon icon = Message_icon::None;
    QString title; // empty: the application's default title
};

// Shows a modal box with an OK button only and returns when it is dismissed.
void Show_Message(const QString &text, Message_icon icon = Message_icon::None,
                  const QString &title = QString());

using Message_hook = std::function<void(const Shown_message &)>;
// While a hook is set, boxes go to it instead of the screen. Returns the previous hook.
Message_hook Set_Message_Hook(Message_hook hook);
