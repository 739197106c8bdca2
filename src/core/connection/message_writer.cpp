#include "core/connection/message_writer.h"

#include "core/connection/socket_io.h"
#include "core/connection/winsock_state.h"
#include "core/shared/time_texts.h"

#include <chrono>
#include <utility>

qint64 Utc_now_us()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Message_writer::~Message_writer()
{
    Socket_io::Close(socket_);
}

void Message_writer::Set_send(Send_function send)
{
    std::lock_guard<std::mutex> lock(lock_);
    send_ = std::move(send);
}

qint64 Message_writer::Send_locked(const char *data, qint64 size, int &error)
{
    const qint64 sent = send_ ? send_(socket_, data, size, error) : Socket_io::Send(socket_, data, size, error);
    if (sent > 0)
        handed_ += sent;
    return sent;
}

Send_result Message_writer::Start(Message_source source)
{
    return Send(Message_kind::Start, Protocol::Start_text(Time_Stamp()), source);
}

Send_result Message_writer::Abort(Message_source source)
{
    return Send(Message_kind::Abort, Protocol::Abort_text(Time_Stamp()), source);
}

Send_result Message_writer::Send(Message_kind kind, const QString &text, Message_source source)
{
    Waiting waiting{Outgoing_message{kind, source, text}, Protocol::Frame(text)};
    Send_result result = Send_result::Queued;
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (socket_ < 0 || error_) {
            Tell_not_sent(waiting.message, Not_sent_reason::Not_connected);
            return Send_result::Not_connected;
        }
        if (queue_.empty()) {
            int error = 0;
            const qint64 sent = Send_locked(waiting.bytes.constData(), waiting.bytes.size(), error);
            if (sent == waiting.bytes.size()) {
                Tell_sent(waiting.message);
                return Send_result::Sent;
            }
            if (sent < 0) {
                Tell_not_sent(waiting.message, Not_sent_reason::Error, Winsock::Error_text(error));
                Fail_locked(error);
                ++refused_;
                result = Send_result::Not_connected;
            } else {
                // Begun on the wire: the rest waits whole, whatever the bound.
                waiting.done = sent;
            }
        } else if (queued_bytes_ + waiting.bytes.size() > Max_queued) {
            Tell_not_sent(waiting.message, Not_sent_reason::Queue_full,
                          Winsock::Error_text(Winsock::No_buffer_space));
            Fail_locked(Winsock::No_buffer_space);
            ++refused_;
            result = Send_result::Queue_full;
        }
        if (result == Send_result::Queued) {
            if (waiting.done == 0)
                queued_bytes_ += waiting.bytes.size();
            queue_.push_back(std::move(waiting));
            wake = queue_.size() == 1;
        } else {
            wake = true;
        }
        // Under the lock: once Close has returned, no wake-up reaches the connection.
        if (wake && wake_)
            wake_();
    }
    return result;
}

void Message_writer::Open(qintptr socket, std::function<void()> wake)
{
    const qintptr own = Socket_io::Duplicate(socket);
    std::lock_guard<std::mutex> lock(lock_);
    Socket_io::Close(socket_);
    socket_ = own;
    handed_ = 0;
    remembered_.clear();
    wake_ = std::move(wake);
    error_ = own < 0 ? Winsock::No_buffer_space : 0;
    refused_ = 0;
}

bool Message_writer::Flush()
{
    std::lock_guard<std::mutex> lock(lock_);
    return Flush_locked();
}

bool Message_writer::Flush_locked()
{
    while (!queue_.empty() && socket_ >= 0 && !error_) {
        Waiting &first = queue_.front();
        int error = 0;
        const qint64 sent = Send_locked(first.bytes.constData() + first.done, first.bytes.size() - first.done, error);
        if (sent < 0) {
            Fail_locked(error);
            break;
        }
        if (first.done == 0 && sent > 0)
            queued_bytes_ -= first.bytes.size(); // begun: it waits whole, beyond the bound
        first.done += sent;
        if (first.done < first.bytes.size())
            break; // the socket is full again
        Tell_sent(first.message);
        queue_.pop_front();
    }
    return queue_.empty();
}

bool Message_writer::Failed() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return error_ != 0;
}

int Message_writer::Error() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return error_;
}

bool Message_writer::Was_reset() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return socket_ >= 0 && Socket_io::Was_reset(socket_);
}

int Message_writer::Close(Not_sent_reason why)
{
    std::lock_guard<std::mutex> lock(lock_);
    Flush_locked();
    int unsent = int(queue_.size()) + std::exchange(refused_, 0);
    const QString detail = error_ ? Winsock::Error_text(error_) : QString();
    if (why != Not_sent_reason::Closed && socket_ >= 0)
        unsent += Tell_not_acknowledged();
    for (const Waiting &waiting : queue_)
        Tell_not_sent(waiting.message, why, detail);
    queue_.clear();
    queued_bytes_ = 0;
    Socket_io::Close(socket_);
    socket_ = -1;
    error_ = 0;
    remembered_.clear();
    wake_ = nullptr;
    return unsent;
}

int Message_writer::Tell_not_acknowledged()
{
    const qint64 unacknowledged = Socket_io::Unacknowledged_bytes(socket_);
    if (unacknowledged <= 0)
        return 0;
    const qint64 acknowledged = handed_ - unacknowledged;
    int count = 0;
    for (const Handed &handed : remembered_) {
        if (handed.end > acknowledged) {
            if (observer_)
                observer_->Message_not_acknowledged(handed.message, Utc_now_us());
            ++count;
        }
    }
    return count;
}

void Message_writer::Fail_locked(int error)
{
    error_ = error ? error : Winsock::No_buffer_space;
}

void Message_writer::Tell_sent(const Outgoing_message &message)
{
    remembered_.push_back({message, handed_});
    if (remembered_.size() > size_t(Max_remembered))
        remembered_.pop_front();
    if (observer_)
        observer_->Message_sent(message, Utc_now_us());
}

void Message_writer::Tell_not_sent(const Outgoing_message &message, Not_sent_reason why, const QString &detail)
{
    if (observer_)
        observer_->Message_not_sent(message, why, detail, Utc_now_us());
}
