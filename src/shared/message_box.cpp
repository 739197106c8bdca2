#include "shared/message_box.h"

#include "shared/facility.h"

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
} // namespace

Message_boxes &Message_boxes::Fallback()
{
    static Console_messages console;
    return console;
}

void Show_Message(const QString &text, Message_icon icon, const QString &title)
{
    Facility<Message_boxes>::Get().Show(Shown_message{text, icon, title});
}
