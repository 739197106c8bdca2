#include "journal/race_journal.h"

#include "journal/journal_file.h"
#include "shared/ansi_text.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QMutexLocker>
#include <QThread>
#include <QtDebug>

#include <algorithm>
#include <limits>
#include <utility>

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

// The journal's thread's side: the day's file, the lines, the limit, the failures.
class Race_journal::Writer
{
public:
    Writer(Race_journal &journal, const QString &folder) : journal_(journal), folder_(folder) {}

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
                if (entry.bounded && file_.Size() + out_.size() >= journal_.limits_.received_per_day) {
                    Close_day_for_received();
                    break;
                }
                Add_line(entry.event, details, entry.lines.isEmpty() ? nullptr : &entry.lines.at(i));
            }
        }
        if (dropped > 0) {
            Stamp(Now());
            Add_line(QStringLiteral("skipped"),
                     {QStringLiteral("%1 received lines not recorded: the disk could not keep up").arg(dropped)});
        }
        if (Flush() && !file_.Sync())
            Cannot_write(file_.Error());
    }

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
    void Add_line(const QString &event, const QStringList &details, const QString *last = nullptr)
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
        out_ += line.toUtf8();
        ++lines_;
    }

    void Next_day(const QDate &day)
    {
        if (Flush())
            file_.Sync();
        file_.Close();
        day_ = day;
        day_full_ = false;
        journal_.received_closed_until_.store(0, std::memory_order_relaxed);
        Open();
    }

    bool Open()
    {
        if (!QDir::isAbsolutePath(folder_)) {
            Cannot_write(QStringLiteral("the data folder is not known (%1)").arg(folder_));
            return false;
        }
        for (int copy = 1; copy <= Max_copies; ++copy) {
            const QString path = QDir(folder_).filePath(File_name(day_, copy));
            const Journal_file::Opened opened = file_.Open(path);
            if (opened == Journal_file::Opened::Held_elsewhere)
                continue;
            {
                QMutexLocker lock(&journal_.lock_);
                journal_.path_ = path;
            }
            if (opened == Journal_file::Opened::Failed) {
                Cannot_write(file_.Error());
                return false;
            }
            if (file_.Size() >= journal_.limits_.received_per_day)
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
        journal_.received_closed_until_.store(midnight.toMSecsSinceEpoch(), std::memory_order_relaxed);
        if (say)
            Add_line(QStringLiteral("limit"),
                     {QStringLiteral("received lines are no longer recorded today: the journal has reached %1 MiB")
                          .arg(journal_.limits_.received_per_day / (1024 * 1024))});
    }

    // Writes the lines made so far; false when nothing could be written.
    bool Flush()
    {
        if (out_.isEmpty())
            return false;
        const qint64 lines = std::exchange(lines_, 0);
        QByteArray bytes = std::exchange(out_, {});
        if (!file_.Is_open() && !Open()) {
            unwritten_ += lines;
            return false;
        }
        QByteArray head;
        if (file_.Ends_mid_line())
            head = "\r\n"; // a line cut short stays alone; the next starts on its own
        if (unwritten_ > 0) {
            // The gap is on record where it happened.
            const QString held_time = time_text_;
            Stamp(Now());
            Add_line(QStringLiteral("unwritten"),
                     {QStringLiteral("%1 lines could not be written: %2").arg(unwritten_).arg(last_error_)});
            head += std::exchange(out_, {});
            lines_ = 0;
            time_text_ = held_time;
        }
        if (!file_.Append(head + bytes)) {
            unwritten_ += lines;
            Cannot_write(file_.Error());
            return false;
        }
        unwritten_ = 0;
        return true;
    }

    void Cannot_write(const QString &why)
    {
        last_error_ = why;
        if (std::exchange(said_, true))
            return;
        const QString text = QStringLiteral("The race journal cannot be written: ")
                             + QDir::toNativeSeparators(journal_.Path()) + QStringLiteral(": ") + why;
        qWarning("velantra-remote: %s", qPrintable(text));
        emit journal_.Cannot_write(text);
    }

    Race_journal &journal_;
    const QString folder_;
    Journal_file file_;
    QDate day_;
    bool day_full_ = false;
    QByteArray out_;
    qint64 lines_ = 0;     // in out_
    qint64 unwritten_ = 0; // lines lost to a failure since the last write
    QString last_error_;
    bool said_ = false;
    qint64 second_ = std::numeric_limits<qint64>::min();
    QDate second_day_;
    QString second_text_, time_text_;
};

Race_journal::Race_journal(const QString &folder, Limits limits, QObject *parent)
    : QObject(parent), limits_(limits), writer_(std::make_unique<Writer>(*this, folder)),
      path_(QDir(folder).filePath(File_name(QDate::currentDate(), 1)))
{
    thread_.reset(QThread::create([this] { Run(); }));
    thread_->setObjectName(QStringLiteral("Race journal"));
    thread_->start();
}

Race_journal::~Race_journal()
{
    {
        QMutexLocker lock(&lock_);
        stopping_ = true;
        wake_.wakeOne();
    }
    thread_->wait();
}

qint64 Race_journal::Now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString Race_journal::Path() const
{
    QMutexLocker lock(&lock_);
    return path_;
}

void Race_journal::Record(qint64 time, const QString &event, const QStringList &details, Kind kind)
{
    if (kind == Kind::Received && time < received_closed_until_.load(std::memory_order_relaxed))
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
    if (lines.isEmpty() || time < received_closed_until_.load(std::memory_order_relaxed))
        return;
    qint64 size = 0;
    for (const QString &line : lines)
        size += line.size() + 32;
    Add(Entry{time, QStringLiteral("received"), {}, lines, false, true}, false, size);
}

void Race_journal::Add(Entry &&entry, bool urgent, qint64 bounded_size)
{
    QMutexLocker lock(&lock_);
    if (bounded_size > 0 && waiting_bytes_ + bounded_size > limits_.waiting) {
        dropped_ += std::max<qsizetype>(1, entry.lines.size());
        return;
    }
    waiting_bytes_ += bounded_size;
    const bool was_empty = queue_.isEmpty();
    queue_.append(std::move(entry));
    urgent_ = urgent_ || urgent;
    // The writer sleeps until something comes, then gathers for a while unless told of an urgent one.
    if (was_empty || urgent)
        wake_.wakeOne();
}

void Race_journal::Run()
{
    QMutexLocker lock(&lock_);
    for (;;) {
        while (queue_.isEmpty() && dropped_ == 0 && !stopping_)
            wake_.wait(&lock_);
        const QDeadlineTimer gathered(Batch_ms);
        while (!urgent_ && !stopping_ && !gathered.hasExpired())
            wake_.wait(&lock_, gathered);
        const QList<Entry> batch = std::exchange(queue_, {});
        const qint64 dropped = std::exchange(dropped_, 0);
        waiting_bytes_ = 0;
        urgent_ = false;
        const bool stop = stopping_;
        lock.unlock();
        writer_->Write(batch, dropped);
        lock.relock();
        if (stop && queue_.isEmpty())
            return;
    }
}
