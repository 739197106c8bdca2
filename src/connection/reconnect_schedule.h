#pragma once
// Connecting again by itself after the connection was lost without the official
// closing it, when the official has asked for that: at once, then after a wait that
// starts at First_wait_ms and doubles up to Longest_wait_ms, to the host of the
// official's last Connect, until connected or the official takes over (Connect,
// Disconnect, Exit). An attempt still pending when the next is due is replaced by
// it, so a connect the network never answers cannot stall the schedule.

#include <QObject>
#include <QString>

class QTimer;

class Reconnect_schedule : public QObject
{
    Q_OBJECT
public:
    static constexpr int First_wait_ms = 2000;
    static constexpr int Longest_wait_ms = 10000;

    // Tests shorten the waits; the program keeps the defaults.
    explicit Reconnect_schedule(QObject *parent = nullptr, int first_wait_ms = First_wait_ms,
                                int longest_wait_ms = Longest_wait_ms);

    // The "Reconnect automatically" setting. Turned on while lost, it begins at once.
    void Set_enabled(bool on);
    bool Enabled() const { return enabled_; }

    // The official connects (to host) or disconnects: whatever runs stops.
    void Official_connect(const QString &host);
    void Official_disconnect();
    // What the connection tells. A loss counts only after Connected.
    void Connection_lost();
    void Connected();

    bool Running() const;
    // The wait before the next attempt.
    int Next_wait_ms() const { return wait_ms_; }

signals:
    void Attempt_due(const QString &host);

private:
    void Begin();
    void Stop();
    void Attempt();

    QTimer *timer_ = nullptr;
    const int first_wait_ms_, longest_wait_ms_;
    int wait_ms_ = 0;
    QString host_;
    bool enabled_ = false;
    bool connected_ = false;
    bool lost_ = false; // lost, and neither connected again nor taken over by the official
};
