#include "core/shared/message_box.h"

#include "core/shared/facility.h"

#include <atomic>
#include <cstdio>

namespace {

class Console_messages final : public Message_boxes
{
public:
    void Show(const Shown_message &message) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(message.text));
    }
};

std::atomic<int> open_boxes{0};

} // namespace

void Message_boxes::Not_shown(const Shown_message &message)
{
    std::fprintf(stderr, "velantra-remote: not shown, a message box was open: %s\n", qPrintable(message.text));
}

Message_boxes &Message_boxes::Fallback()
{
    static Console_messages console;
    return console;
}

bool Show_Message(const QString &text, Message_icon icon, const QString &title)
{
    return Show_Message(Shown_message{text, icon, title});
}

bool Show_Message(const Shown_message &message)
{
    Message_boxes &boxes = Facility<Message_boxes>::Get();
    if (open_boxes.load() > 0) {
        boxes.Not_shown(message);
        return false;
    }
    struct Open
    {
        Open() { ++open_boxes; }
        ~Open() { --open_boxes; } // also when the box throws
    } open;
    boxes.Show(message);
    return true;
}

bool Message_box_open()
{
    return open_boxes.load() > 0;
}
