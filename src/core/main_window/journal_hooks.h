#pragma once
// What the race journal records of the objects the starter drives: the messages as
// the writer sends them (or cannot), the connection's events and received lines, the
// trigger. Each hook runs on the thread where its event happens and takes the time
// there, so the journal's times are those of the events, not of the window's turn.

#include "core/connection/message_writer.h"

#include <QList>
#include <QMetaObject>

#include <atomic>
#include <memory>

class Attempt_fold;
class Race_journal;
class Remote_connection;
class Start_trigger;

class Journal_hooks final : public Message_observer
{
public:
    // From now on the journal hears of the connection's events and the trigger's;
    // the messages as soon as the writer has this object as its observer.
    void Attach(Race_journal &journal, Remote_connection &connection, Start_trigger &trigger);
    // Nothing more is recorded (a benchmark's figures without the journal).
    void Detach();

    Journal_hooks();
    ~Journal_hooks() override;

    // A connection counts as working: the failed attempts before it are on record.
    void Connection_working();
    // Before the journal's last line: what is held back of failed attempts goes in.
    void Flush();

    void Message_sent(const Outgoing_message &message, qint64 utc_us) override;
    void Message_not_sent(const Outgoing_message &message, Not_sent_reason why, const QString &detail,
                          qint64 utc_us) override;
    void Message_not_acknowledged(const Outgoing_message &message, qint64 utc_us) override;

private:
    std::atomic<Race_journal *> journal_{nullptr}; // none until the program's start was checked
    std::unique_ptr<Attempt_fold> fold_; // from Attach, for the life of the hooks
    QList<QMetaObject::Connection> connections_;
};
