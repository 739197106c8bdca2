#pragma once
// What follows a connection the official did not end: the alarm, and connecting again
// by itself when the official has asked for that, to the host of the official's last
// Connect, until the official takes over (Connect, Disconnect, Exit).
//
// A loss begins an outage: the alarm, its beeps and its error's box, once. The outage
// lasts until a connection counts as working, having lasted Working_ms or brought a whole
// line from the server; a connection that ends sooner is one more failed attempt, shown
// in the status only. The attempts come at once, then after waits that start at
// First_wait_ms and double up to Longest_wait_ms, and the waits start again from nothing
// only once a connection has lasted Working_ms: a server that accepts (or even greets)
// and hangs up at once is knocked on every Longest_wait_ms, not as fast as it answers.
// An attempt still pending when the next is due is replaced by it, so a connect the
// network never answers cannot stall the schedule.

#include <QObject>
#include <QString>

class QTimer;

class Reconnect_schedule : public QObject
{
    Q_OBJECT
public:
    static constexpr int First_wait_ms = 2000;
    static constexpr int Longest_wait_ms = 10000;
    static constexpr int Working_ms = 10000;

    struct Waits
    {
        int first_ms = First_wait_ms;
        int longest_ms = Longest_wait_ms;
        int working_ms = Working_ms;
    };

    explicit Reconnect_schedule(QObject *parent = nullptr);
    // Tests shorten the waits; the program keeps the defaults.
    void Set_waits(const Waits &waits);

    // The "Reconnect automatically" setting. Turned on during an outage, it begins at once.
    void Set_enabled(bool on);

    // The official connects (to host) or disconnects: whatever runs stops, and the
    // official's own connection begins anew (its loss is an outage of its own).
    void Official_connect(const QString &host);
    void Official_disconnect();

    // What the connection tells.
    void Connected();
    void Line_received(); // a whole line: the connection works
    // A connection ended without the official: true when it begins an outage (the alarm
    // and its error's box), false when it is one more failed attempt.
    bool Connection_lost();

    // Whether the last connect was one of the schedule's attempts (its failure shows no box).
    bool Attempting() const { return attempting_; }
    bool Outage() const { return outage_; }
    bool Running() const;
    // The wait before the next attempt (0: at once).
    int Next_wait_ms() const { return wait_ms_; }

signals:
    void Attempt_due(const QString &host);
    // A connection counts as working: the outage, if there was one, is over.
    void Working();

private:
    void Attempt();
    void Stop();
    void Now_working();

    QTimer *timer_ = nullptr;         // the next attempt
    QTimer *working_timer_ = nullptr; // a connection that lasts this long works
    Waits waits_;
    int wait_ms_ = 0; // the wait before the next attempt; 0 once a connection lasted
    QString host_;
    bool enabled_ = false;
    bool connected_ = false;
    bool working_ = false;    // the connection now made counts as working
    bool outage_ = false;     // lost, and no connection has worked since
    bool attempting_ = false; // the last connect was the schedule's
};
