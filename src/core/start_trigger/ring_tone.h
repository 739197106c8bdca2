#pragma once
// The ring tone: the wave the client plays when the server asks for a ring.

#include <QByteArray>
#include <QObject>

class Ring_tone : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Fills the ring tone from the resource "RINGTONE" of type "CUSTOM", unless it
    // holds something already.
    void Load_Ringtone();
    // Plays the ring tone once, without waiting (PlaySOUND).
    void Play_Ring();

private:
    QByteArray ringtone_wave_;
};
