#pragma once
// The race journal: what the client sent, could not send and received, and what
// happened to the connection and the trigger, each with the local time to the
// millisecond, on record for a dispute. One file a local day in the data folder,
// Velantra_journal_<yyyy-mm-dd>.txt (UTF-8, CR LF, tab-separated), only appended to.
//
// Any thread records: the caller takes the time where the event happens (Now) and
// the entry joins a queue under a short lock; a thread of the journal's own formats
// and writes it. So a start never waits for the disk. Start and Abort are synced to
// the disk at once, the rest in batches within a second. A journal that cannot be
// written says so once (Cannot_write) and keeps trying; the program never waits.
// What a failing disk did not take is held, every line but received ones and heat
// changes (up to a bound), and written in order once it takes lines again; the rest
// is counted in an "unwritten" line.

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

struct Journal_limits
{
    // A day's journal stops taking received lines here; sent messages always go in.
    qint64 received_per_day = qint64(50) * 1024 * 1024;
    // Received text waiting for a slow disk; more is counted, not kept.
    qint64 waiting = qint64(8) * 1024 * 1024;
    // Lines held for a disk that failed, to be written when it takes them again (all but
    // received lines and heat changes); more are counted, not kept.
    qint64 kept_lines = 10000;
};

class Race_journal : public QObject
{
    Q_OBJECT
public:
    using Limits = Journal_limits;
    // How long other lines may wait to be written with the next ones.
    static constexpr int Batch_ms = 250;
    // How long the exit waits for the disk.
    static constexpr int Exit_wait_ms = 2000;

    // Writes into folder, which must be an absolute path to a folder of the user's own
    // that no other user may write to (else it says it cannot write). before_write, when
    // given, runs on the journal's thread before each write to the file (a test holds it
    // there, as a disk that does not answer does).
    explicit Race_journal(const QString &folder, Limits limits = Limits(),
                          std::function<void()> before_write = {}, QObject *parent = nullptr);
    // Writes and syncs what waits, then ends its thread; waits for it at most Exit_wait_ms,
    // then leaves it behind. Lines that were not written are counted on standard error.
    ~Race_journal() override;

    // The time an entry carries: milliseconds since the epoch, UTC, shown in local time.
    static qint64 Now();

    // How an entry is kept. Urgent: on the disk at once (Start, Abort). Received: what
    // the server sent, which stops at the day's limit.
    enum class Kind { Normal, Urgent, Received };

    // An event with its details (plain text; what would break a line is escaped).
    void Record(qint64 time, const QString &event, const QStringList &details = {}, Kind kind = Kind::Normal);
    // A message as it went on the wire, or did not: its text last, as the wire carries
    // it (Windows-1252, "?" for what it lacks), without the "%".
    void Record_message(qint64 time, const QString &event, const QStringList &details, const QString &text,
                        Kind kind);
    // The lines of one block as received, without their "%", a journal line each.
    void Record_received(qint64 time, const QStringList &lines);

    // The file this copy writes today (another copy's file is never touched, so it
    // may carry a number); it may not exist yet.
    QString Path() const;
    // The file the first running copy writes on day in folder; empty for a folder that
    // is not known (not an absolute path).
    static QString Day_path(const QString &folder, const QDate &day);

signals:
    // The journal could not be written: said once per run, from the journal's thread.
    void Cannot_write(const QString &text);

private:
    struct Entry
    {
        qint64 time = 0;
        QString event;
        QStringList details;
        QStringList lines;   // received lines: each its own journal line, after the details
        bool wire = false;   // the last detail is a message's text, shown as the wire has it
        bool bounded = false; // received: kept up to the day's limit
    };
    class Writer; // the journal's thread's side: the file, formatting, limits
    struct State;

    void Add(Entry &&entry, bool urgent, qint64 bounded_size = 0);
    static void Run(State &state);

    // Shared with the journal's thread, which keeps it when it is left behind.
    std::shared_ptr<State> state_;
};
