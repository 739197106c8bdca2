#pragma once
// The one way the program shows a modal message box: Show_Message, through the
// message-box facility (a real box on the desktop, a test's recorder in a test).

#include <QString>

enum class Message_icon { None, Information, Warning, Critical };

struct Shown_message
{
    QString text;
    Message_icon icon = Message_icon::None;
    QString title; // empty: the application's default title
};

// The message-box facility (see shared/facility.h).
class Message_boxes
{
public:
    virtual ~Message_boxes() = default;
    // Shows a modal box with an OK button only and returns when it is dismissed.
    virtual void Show(const Shown_message &message) = 0;
    // Without a desktop: the text goes to standard error.
    static Message_boxes &Fallback();
};

void Show_Message(const QString &text, Message_icon icon = Message_icon::None,
                  const QString &title = QString());
