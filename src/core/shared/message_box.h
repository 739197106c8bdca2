#pragma once
// The one way the program shows a modal message box: Show_Message, through the
// message-box facility (a real box on the desktop, a test's recorder in a test).
//
// One box at a time, program-wide. A box opened inside another box's loop stacks on
// it without end (a server that resets every connection once made thousands, took
// every click and at last the stack), so a message that comes while a box is open is
// not shown as a box: it is said on standard error (Not_shown), and the main window
// puts it in the race journal and on its status line. Which box waits for which:
// - no box waits for another, but the failed settings write: it is the only word
//   that a setting was not kept, so it is shown once the open box is closed;
// - a box that neither the official's click nor key opened (the connection's, the
//   trigger's, the settings writer's) waits for the click in progress to do its work
//   (its Start is sent first), and opens from a queued call, never inside the handler
//   that asked for it (the main window's Box_queue).

#include <QString>

enum class Message_icon { None, Information, Warning, Critical };

struct Shown_message
{
    QString text;
    Message_icon icon = Message_icon::None;
    QString title; // empty: the application's default title
};

// The message-box facility (see core/shared/facility.h).
class Message_boxes
{
public:
    virtual ~Message_boxes() = default;
    // Shows a modal box with an OK button only and returns when it is dismissed.
    virtual void Show(const Shown_message &message) = 0;
    // A message that came while another box was open: not a box. On standard error.
    virtual void Not_shown(const Shown_message &message);
    // Without a desktop: the text goes to standard error.
    static Message_boxes &Fallback();
};

// Shows the box and returns once it is dismissed; false, without a box, when one of the
// program's boxes is open already (then the facility's Not_shown has it).
bool Show_Message(const QString &text, Message_icon icon = Message_icon::None,
                  const QString &title = QString());
bool Show_Message(const Shown_message &message);

// True while one of the program's message boxes is open.
bool Message_box_open();
