#include "core/journal/race_journal.h"

#include "core/journal/journal_file.h"
#include "core/platform/system_calls.h"
#include "core/shared/ansi_text.h"
#include "core/shared/own_folder.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>
#include <QtDebug>

#include <algorithm>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

namespace {

QString File_name(const QDate &day, int copy)
{
    QString name = QStringLiteral("Velantra_journal_") + day.toString(QStringLiteral("yyyy-MM-dd"));
    if (copy > 1)
        name += QLatin1Char('_') + QString::number(copy);
    return name + QStringLiteral(".txt");
}

// A second running copy writes a numbered file of its own; this many at most.
constexpr int Max_copies = 9;

// Lines held for a failed disk are tried again this often, also when nothing new comes.
constexpr int Retry_ms = 1000;

// Whole lines, each marked as one to keep until it is written or one a failure may drop.
struct Lines
{
    QByteArray bytes;
    std::vector<std::pair<qsizetype, bool>> ends; // where each line ends in bytes; kept
    qint64 Count() const { return qint64(ends.size()); }
    bool Empty() const { return ends.empty(); }
    void Add(const QByteArray &line, bool keep)
    {
        bytes += line;
        ends.emplace_back(bytes.size(), keep);
    }
};

// Text as it stands, but one entry stays one line and one field: tabs, line ends and
// every other character that does not print are written \xHH (or \u{HHHH}), and the
// backslash doubled, so the journal tells exactly what was there.
void Append_escaped(QString &out, QStringView text)
{
    // Most text is plain: taken whole, as a flood of received lines needs.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'\\'; })) {
        out += text;
        return;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        qsizetype width = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (code == u'\\')
            out += QStringLiteral("\\\\");
        else if (QChar::isPrint(code))
            out += text.mid(i, width);
        else if (code <= 0xFF)
            out += QString::asprintf("\\x%02X", unsigned(code));
        else
            out += QString::asprintf("\\u{%X}", unsigned(code));
        i += width - 1;
    }
}

} // namespace

struct Race_journal::State
{
    State(Limits l, std::function<void()> before) : limits(l), before_write(std::move(before)) {}

    const Limits limits;
    const std::function<void()> before_write;
    std::unique_ptr<Writer> writer;

    QMutex lock;
    QWaitCondition wake;
    QList<Entry> queue;
    qint64 waiting_bytes = 0;
    qint64 dropped = 0; // received lines not kept while the disk was behind
    bool urgent = false;
    bool stopping = false;
    bool ended = false; // the thread is done
    QWaitCondition ending;
    QString path;
    // Received lines before this time (the next local midnight) are not kept: the day's journal is full.
    std::atomic<qint64> received_closed_until{0};
    // Lines the writer has made that are not on the disk: held, being written, or lost.
    std::atomic<qint64> not_written{0};

    QMutex owner_lock;
    Race_journal *owner = nullptr; // told that the journal cannot be written; none once it goes
};

// The journal's thread's side: the day's file, the lines, the limit, the failures.
class Race_journal::Writer
{
public:
    Writer(State &state, const QString &folder) : state_(state), folder_(folder) {}

    void Write(const QList<Entry> &batch, qint64 dropped)
    {
        for (const Entry &entry : batch) {
            const QDate day = Stamp(entry.time);
            if (day != day_)
                Next_day(day);
            QStringList details = entry.details;
            if (entry.wire && !details.isEmpty())
                details.last() = From_Ansi(To_Ansi(details.constLast()));
            for (qsizetype i = 0; i < std::max<qsizetype>(1, entry.lines.size()); ++i) {
                if (entry.bounded && day_full_)
                    break;
                if (entry.bounded && file_.Size() + out_.bytes.size() >= state_.limits.received_per_day) {
                    Close_day_for_received();
                    break;
                }
                Add_line(entry.event, details, entry.lines.isEmpty() ? nullptr : &entry.lines.at(i), !entry.bounded);
            }
        }
        if (dropped > 0) {
            Stamp(Now());
            Add_line(QStringLiteral("skipped"),
                     {QStringLiteral("%1 received lines not recorded: the disk could not keep up").arg(dropped)});
        }
        Publish(out_.Count());
        if (Flush() && !file_.Sync())
            Cannot_write(file_.Error());
        Publish(0);
    }

    // Lines held for a disk that failed: tried again even when nothing new comes.
    bool Holding() const { return !kept_.Empty(); }

private:
    // The time text of the entry's second (made once a second) and its local day.
    QDate Stamp(qint64 time)
    {
        const qint64 second = time >= 0 ? time / 1000 : (time - 999) / 1000;
        if (second != second_) {
            const QDateTime moment = QDateTime::fromMSecsSinceEpoch(second * 1000);
            second_ = second;
            second_day_ = moment.date();
            second_text_ = moment.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss."));
        }
        time_text_ = second_text_ + QString::number(time - second * 1000).rightJustified(3, QLatin1Char('0'));
        return second_day_;
    }

    // One line at the time last stamped.
    QByteArray Line(const QString &event, const QStringList &details, const QString *last = nullptr) const
    {
        QString line = time_text_ + QLatin1Char('\t') + event;
        for (const QString &detail : details) {
            line += QLatin1Char('\t');
            Append_escaped(line, detail);
        }
        if (last) {
            line += QLatin1Char('\t');
            Append_escaped(line, *last);
        }
        line += QStringLiteral("\r\n");
        return line.toUtf8();
    }

    // keep: held when the disk fails; only received lines and heat changes are not.
    void Add_line(const QString &event, const QStringList &details, const QString *last = nullptr, bool keep = true)
    {
        out_.Add(Line(event, details, last), keep);
    }

    void Next_day(const QDate &day)
    {
        if (Flush())
            file_.Sync();
        file_.Close();
        day_ = day;
        day_full_ = false;
        state_.received_closed_until.store(0, std::memory_order_relaxed);
        Open();
    }

    bool Open()
    {
        if (!QDir::isAbsolutePath(folder_)) {
            Cannot_write(QStringLiteral("the data folder is not known (%1)").arg(folder_));
            return false;
        }
        if (!Own_folder(folder_, false)) {
            // Another user could put a link to a file of ours there, or read what we write.
            Cannot_write(QStringLiteral("the folder is not the user's own, or other users may write to it"));
            return false;
        }
        for (int copy = 1; copy <= Max_copies; ++copy) {
            const QString path = QDir(folder_).filePath(File_name(day_, copy));
            const Journal_file::Opened opened = file_.Open(path);
            if (opened == Journal_file::Opened::Held_elsewhere)
                continue;
            {
                QMutexLocker lock(&state_.lock);
                state_.path = path;
            }
            if (opened == Journal_file::Opened::Failed) {
                Cannot_write(file_.Error());
                return false;
            }
            if (file_.Size() >= state_.limits.received_per_day)
                Close_day_for_received(false); // said when it was reached
            return true;
        }
        Cannot_write(QStringLiteral("%1 other running copies hold today's journals").arg(Max_copies));
        return false;
    }

    void Close_day_for_received(bool say = true)
    {
        day_full_ = true;
        const QDateTime midnight(day_.addDays(1), QTime(0, 0));
        state_.received_closed_until.store(midnight.toMSecsSinceEpoch(), std::memory_order_relaxed);
        if (say)
            Add_line(QStringLiteral("limit"),
                     {QStringLiteral("received lines are no longer recorded today: the journal has reached %1 MiB")
                          .arg(state_.limits.received_per_day / (1024 * 1024))});
    }

    // Writes, in this order, the lines held from a failure, the count of those lost (the
    // gap is on record where it ends) and the new ones; false when nothing was written.
    bool Flush()
    {
        Lines fresh = std::exchange(out_, {});
        if (fresh.Empty() && kept_.Empty())
            return false;
        if (!file_.Is_open() && !Open()) {
            Hold(fresh, 0);
            return false;
        }
        bool wrote = false;
        if (!kept_.Empty()) {
            if (!Append(std::exchange(kept_, {}))) {
                Hold(fresh, 0);
                return false;
            }
            wrote = true;
        }
        if (lost_ > 0) {
            Stamp(Now());
            Lines gap;
            gap.Add(Line(QStringLiteral("unwritten"),
                         {QStringLiteral("%1 lines could not be written: %2").arg(lost_).arg(last_error_)}),
                    false);
            if (!Append(gap, false)) {
                Hold(fresh, 0);
                return wrote;
            }
            lost_ = 0;
            wrote = true;
        }
        return (!fresh.Empty() && Append(fresh)) || wrote;
    }

    // Appends the lines; on a failure, what did not reach the disk whole is held or
    // counted (hold), or made again later (the gap's count).
    bool Append(const Lines &lines, bool hold = true)
    {
        if (state_.before_write)
            state_.before_write();
        QByteArray head;
        if (file_.Ends_mid_line())
            head = "\r\n"; // a line cut short stays alone; the next starts on its own
        qint64 written = 0;
        if (file_.Append(head + lines.bytes, &written))
            return true;
        Cannot_write(file_.Error());
        if (hold)
            Hold(lines, written - head.size());
        return false;
    }

    // Of lines whose first written bytes reached the disk, those that did not reach it
    // whole: a line to keep waits for the next write (whole, if it was cut), up to the
    // bound; any other is counted as lost.
    void Hold(const Lines &lines, qint64 written)
    {
        qsizetype begin = 0;
        for (const auto &[end, keep] : lines.ends) {
            if (end > written) {
                if (keep && kept_.Count() < state_.limits.kept_lines)
                    kept_.Add(lines.bytes.mid(begin, end - begin), true);
                else
                    ++lost_;
            }
            begin = end;
        }
    }

    // What is not on the disk, for the exit to say; in_hand: lines being written now.
    void Publish(qint64 in_hand)
    {
        state_.not_written.store(in_hand + kept_.Count() + lost_, std::memory_order_relaxed);
    }

    void Cannot_write(const QString &why)
    {
        last_error_ = why;
        if (std::exchange(said_, true))
            return;
        QString path;
        {
            QMutexLocker lock(&state_.lock);
            path = state_.path;
        }
        const QString text = QStringLiteral("The race journal cannot be written: ") + QDir::toNativeSeparators(path)
                             + QStringLiteral(": ") + why;
        qWarning("velantra-remote: %s", qPrintable(text));
        QMutexLocker lock(&state_.owner_lock);
        if (state_.owner)
            emit state_.owner->Cannot_write(text);
    }

    State &state_;
    const QString folder_;
    Journal_file file_;
    QDate day_;
    bool day_full_ = false;
    Lines out_;        // made, not yet written
    Lines kept_;       // held from a failed write, written before anything newer
    qint64 lost_ = 0;  // lines a failure lost since the last write
    QString last_error_;
    bool said_ = false;
    qint64 second_ = std::numeric_limits<qint64>::min();
    QDate second_day_;
    QString second_text_, time_text_;
};

Race_journal::Race_journal(const QString &folder, Limits limits, std::function<void()> before_write, QObject *parent)
    : QObject(parent), state_(std::make_shared<State>(limits, std::move(before_write)))
{
    state_->writer = std::make_unique<Writer>(*state_, folder);
    state_->path = QDir(folder).filePath(File_name(QDate::currentDate(), 1));
    state_->owner = this;
    // Detached: a disk that does not answer may hold it past the journal's end.
    std::thread([state = state_] {
        // Below the threads that send a start and read the server: a flood's lines wait
        // here for a core (their queue is bounded), never a start for them.
        System_calls::Lower_thread_priority();
        Run(*state);
        QMutexLocker lock(&state->lock);
        state->ended = true;
        state->ending.wakeAll();
    }).detach();
}

Race_journal::~Race_journal()
{
    {
        QMutexLocker lock(&state_->lock);
        state_->stopping = true;
        state_->wake.wakeOne();
        const QDeadlineTimer patience(Exit_wait_ms);
        while (!state_->ended && state_->ending.wait(&state_->lock, patience)) {
        }
    }
    {
        QMutexLocker lock(&state_->owner_lock);
        state_->owner = nullptr;
    }
    qint64 not_written = state_->not_written.load(std::memory_order_relaxed);
    QMutexLocker lock(&state_->lock);
    for (const Entry &entry : std::as_const(state_->queue))
        not_written += std::max<qsizetype>(1, entry.lines.size());
    const QString path = QDir::toNativeSeparators(state_->path);
    if (!state_->ended) // a disk that does not answer holds the thread: the program ends without it
        qWarning("velantra-remote: the race journal's disk did not answer within %d s; %lld lines were not written to %s",
                 Exit_wait_ms / 1000, static_cast<long long>(not_written), qPrintable(path));
    else if (not_written > 0)
        qWarning("velantra-remote: %lld lines were not written to the race journal %s", static_cast<long long>(not_written),
                 qPrintable(path));
}

qint64 Race_journal::Now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString Race_journal::Path() const
{
    QMutexLocker lock(&state_->lock);
    return state_->path;
}

QString Race_journal::Day_path(const QString &folder, const QDate &day)
{
    return QDir::isAbsolutePath(folder) ? QDir(folder).filePath(File_name(day, 1)) : QString();
}

void Race_journal::Record(qint64 time, const QString &event, const QStringList &details, Kind kind)
{
    if (kind == Kind::Received && time < state_->received_closed_until.load(std::memory_order_relaxed))
        return;
    Add(Entry{time, event, details, {}, false, kind == Kind::Received}, kind == Kind::Urgent,
        kind == Kind::Received ? 64 : 0);
}

void Race_journal::Record_message(qint64 time, const QString &event, const QStringList &details,
                                  const QString &text, Kind kind)
{
    Add(Entry{time, event, details + QStringList{text}, {}, true, false}, kind == Kind::Urgent);
}

void Race_journal::Record_received(qint64 time, const QStringList &lines)
{
    // Past the day's limit nothing is queued: a flood costs the receiver nothing here.
    if (lines.isEmpty() || time < state_->received_closed_until.load(std::memory_order_relaxed))
        return;
    qint64 size = 0;
    for (const QString &line : lines)
        size += line.size() + 32;
    Add(Entry{time, QStringLiteral("received"), {}, lines, false, true}, false, size);
}

void Race_journal::Add(Entry &&entry, bool urgent, qint64 bounded_size)
{
    State &s = *state_;
    QMutexLocker lock(&s.lock);
    if (bounded_size > 0 && s.waiting_bytes + bounded_size > s.limits.waiting) {
        s.dropped += std::max<qsizetype>(1, entry.lines.size());
        return;
    }
    s.waiting_bytes += bounded_size;
    const bool was_empty = s.queue.isEmpty();
    s.queue.append(std::move(entry));
    s.urgent = s.urgent || urgent;
    // The writer sleeps until something comes, then gathers for a while unless told of an urgent one.
    if (was_empty || urgent)
        s.wake.wakeOne();
}

void Race_journal::Run(State &s)
{
    QMutexLocker lock(&s.lock);
    for (;;) {
        while (s.queue.isEmpty() && s.dropped == 0 && !s.stopping)
            if (!s.wake.wait(&s.lock, s.writer->Holding() ? QDeadlineTimer(Retry_ms) : QDeadlineTimer::Forever))
                break; // held lines, and the disk may take them now
        const QDeadlineTimer gathered(Batch_ms);
        while (!s.urgent && !s.stopping && !gathered.hasExpired())
            s.wake.wait(&s.lock, gathered);
        const QList<Entry> batch = std::exchange(s.queue, {});
        const qint64 dropped = std::exchange(s.dropped, 0);
        s.waiting_bytes = 0;
        s.urgent = false;
        const bool stop = s.stopping;
        lock.unlock();
        s.writer->Write(batch, dropped);
        lock.relock();
        if (stop && s.queue.isEmpty())
            return;
    }
}
