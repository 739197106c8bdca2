#pragma once
// Connection attempts that keep failing, folded for the race journal, so that a server
// that refuses, or accepts and hangs up, all day long does not fill the disk: the first
// Kept_in_full failed attempts of a run are written in full; after them an attempt's
// lines are held until it ends. A failed one is only counted, and a line with the count
// and how the last one ended is written once a minute; one that turns out to matter (a
// message or anything else is recorded meanwhile, or it lasts Working) is written in
// full, after the count so far.
//
// Any thread: the sink is called under the fold's lock, in the order the lines are to be
// written. The fold takes every time from its lines, so it has no clock of its own.

#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>

struct Journal_line
{
    qint64 time = 0; // as Race_journal::Now
    QString event;
    QStringList details;
};

class Attempt_fold
{
public:
    static constexpr int Kept_in_full = 3;
    static constexpr qint64 Count_every_ms = 60 * 1000;

    using Sink = std::function<void(const Journal_line &)>;
    // working_ms: a connection that lasted this long was no failed attempt.
    Attempt_fold(Sink sink, qint64 working_ms);

    void Connect(const Journal_line &line); // an attempt begins
    void Connected(const Journal_line &line);
    // The attempt ended without the official: its connect failed or the connection was lost.
    void Ended(const Journal_line &line);
    // Something else is to be recorded: the count so far and the held lines go first.
    void Release();
    // A connection works, or the official closed it: the run is over, the next failed
    // attempts are written in full again.
    void Reset();

private:
    void Write(const Journal_line &line) { sink_(line); }
    void Release_locked();

    QMutex lock_;
    const Sink sink_;
    const qint64 working_ms_;
    QList<Journal_line> held_; // of the attempt going on, while it is folded
    bool in_attempt_ = false;
    bool showing_ = false;     // the attempt going on is written in full
    qint64 connected_at_ = -1;
    int kept_ = 0;             // failed attempts written in full in this run
    int folded_ = 0;           // failed attempts counted since the last line written
    Journal_line last_;        // how the last counted one ended
    qint64 written_at_ = 0;    // the time of the last attempt or count line written
};
