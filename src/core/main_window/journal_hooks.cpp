#include "core/main_window/journal_hooks.h"

#include "core/connection/reconnect_schedule.h"
#include "core/connection/remote_connection.h"
#include "core/journal/attempt_fold.h"
#include "core/journal/race_journal.h"
#include "core/start_trigger/start_trigger.h"

#include <utility>

namespace {

qint64 Ms(qint64 utc_us) { return utc_us / 1000; }

QString Kind_word(Message_kind kind)
{
    switch (kind) {
    case Message_kind::Start: return QStringLiteral("start");
    case Message_kind::Abort: return QStringLiteral("abort");
    case Message_kind::Text: break;
    }
    return QStringLiteral("text");
}

QString Source_words(const Outgoing_message &message)
{
    switch (message.source.kind) {
    case Message_source::Keyboard: return QStringLiteral("keyboard");
    case Message_source::Trigger: return QStringLiteral("trigger input ") + QString::number(message.source.input);
    case Message_source::Click: break;
    }
    switch (message.kind) {
    case Message_kind::Start: return QStringLiteral("Start button");
    case Message_kind::Abort: return QStringLiteral("Abort button");
    case Message_kind::Text: break;
    }
    return QStringLiteral("Send button");
}

QString Reason_words(Not_sent_reason why, const QString &detail)
{
    QString words;
    switch (why) {
    case Not_sent_reason::Not_connected: words = QStringLiteral("not connected"); break;
    case Not_sent_reason::Queue_full: words = QStringLiteral("queue full"); break;
    case Not_sent_reason::Stalled: words = QStringLiteral("the server took nothing for 2 s"); break;
    case Not_sent_reason::Closed: words = QStringLiteral("closed before it went"); break;
    case Not_sent_reason::Error: words = QStringLiteral("connection error"); break;
    }
    return detail.isEmpty() ? words : words + QStringLiteral(": ") + detail;
}

// A connection or attempt that ended without the official: "lost" once it had been made.
Journal_line End_line(qint64 time, const Connection_end &end)
{
    const QStringList error{QString::number(end.error_number), end.error_text};
    switch (end.how) {
    case Connection_end::Closed_by_server: return {time, QStringLiteral("lost"), {QStringLiteral("peer closed")}};
    case Connection_end::Reset: return {time, QStringLiteral("lost"), QStringList{QStringLiteral("reset")} + error};
    case Connection_end::Failed: return {time, QStringLiteral("lost"), QStringList{QStringLiteral("error")} + error};
    case Connection_end::Not_made:
    case Connection_end::Closed_by_official: break;
    }
    return {time, QStringLiteral("error"), error};
}

// Start and Abort are on the disk at once; a text may wait for the next batch.
Race_journal::Kind Urgency(const Outgoing_message &message)
{
    return message.kind == Message_kind::Text ? Race_journal::Kind::Normal : Race_journal::Kind::Urgent;
}

} // namespace

Journal_hooks::Journal_hooks() = default;
Journal_hooks::~Journal_hooks() = default;

void Journal_hooks::Message_sent(const Outgoing_message &message, qint64 utc_us)
{
    if (Race_journal *journal = journal_.load(std::memory_order_acquire)) {
        fold_->Release();
        journal->Record_message(Ms(utc_us), QStringLiteral("sent"), {Kind_word(message.kind), Source_words(message)},
                                message.text, Urgency(message));
    }
}

void Journal_hooks::Message_not_sent(const Outgoing_message &message, Not_sent_reason why, const QString &detail,
                                     qint64 utc_us)
{
    if (Race_journal *journal = journal_.load(std::memory_order_acquire)) {
        fold_->Release();
        journal->Record_message(Ms(utc_us), QStringLiteral("unsent"),
                                {Kind_word(message.kind), Source_words(message), Reason_words(why, detail)},
                                message.text, Urgency(message));
    }
}

void Journal_hooks::Message_not_acknowledged(const Outgoing_message &message, qint64 utc_us)
{
    if (Race_journal *journal = journal_.load(std::memory_order_acquire)) {
        fold_->Release();
        journal->Record_message(Ms(utc_us), QStringLiteral("unacknowledged"),
                                {Kind_word(message.kind), Source_words(message)}, message.text, Urgency(message));
    }
}

void Journal_hooks::Connection_working()
{
    if (journal_.load(std::memory_order_acquire))
        fold_->Reset();
}

void Journal_hooks::Flush()
{
    if (journal_.load(std::memory_order_acquire))
        fold_->Release();
}

void Journal_hooks::Attach(Race_journal &journal, Remote_connection &connection, Start_trigger &trigger)
{
    auto *const j = &journal;
    const auto now = [] { return Race_journal::Now(); };
    // The connection's attempts pass through the fold; everything else lets what it
    // holds go first, so the journal stays in order.
    fold_ = std::make_unique<Attempt_fold>(
        [j](const Journal_line &line) { j->Record(line.time, line.event, line.details); },
        Reconnect_schedule::Working_ms);
    Attempt_fold *const fold = fold_.get();
    // Direct: recorded on the thread that tells, at once, whatever the window is doing.
    const auto record = [this, j](auto *sender, auto signal, auto hook) {
        connections_.append(QObject::connect(sender, signal, j, hook, Qt::DirectConnection));
    };
    record(&connection, &Remote_connection::Connect_asked, [fold, now](const QString &host) {
        fold->Connect({now(), QStringLiteral("connect"), {host}});
    });
    record(&connection, &Remote_connection::Connected,
           [fold, now] { fold->Connected({now(), QStringLiteral("connected"), {}}); });
    record(&connection, &Remote_connection::Ended, [j, fold, now](const Connection_end &end) {
        if (end.how == Connection_end::Closed_by_official) {
            fold->Reset();
            j->Record(now(), QStringLiteral("closed"), {QStringLiteral("by the official")});
        } else {
            fold->Ended(End_line(now(), end));
        }
    });
    record(&connection, &Remote_connection::Lines_received, [j, fold](const QStringList &lines, qint64 read_utc_us) {
        fold->Reset(); // the server speaks: the connection works
        j->Record_received(Ms(read_utc_us), lines);
    });
    record(&connection, &Remote_connection::Heat_changed, [j, now](const QString &id, const QString &status) {
        j->Record(now(), QStringLiteral("heat"), {id, status}, Race_journal::Kind::Received);
    });
    record(&trigger, &Start_trigger::Armed_changed, [j, fold, now](bool armed) {
        fold->Release();
        j->Record(now(), armed ? QStringLiteral("armed") : QStringLiteral("disarmed"));
    });
    record(&trigger, &Start_trigger::Attached, [j, fold, now](int serial) {
        fold->Release();
        j->Record(now(), QStringLiteral("attached"), {QStringLiteral("serial ") + QString::number(serial)});
    });
    record(&trigger, &Start_trigger::Detached, [j, fold, now] {
        fold->Release();
        j->Record(now(), QStringLiteral("detached"));
    });
    journal_.store(j, std::memory_order_release);
}

void Journal_hooks::Detach()
{
    journal_.store(nullptr, std::memory_order_release);
    for (const QMetaObject::Connection &connection : std::as_const(connections_))
        QObject::disconnect(connection);
    connections_.clear();
}
