#pragma once
// The start protocol's texts and the cutting of the received stream into lines.
// Every message is its text followed by "%", in Windows-1252, with no escaping.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace Protocol {

constexpr quint16 Remote_port = 6002;
constexpr char Terminator = '%';

QString Start_text(const QString &time_stamp);                     // "HH:MM:SS Velantra Start"
QString Abort_text(const QString &time_stamp);                     // "HH:MM:SS Velantra Abort"
QString Free_text(const QString &time_stamp, const QString &text); // "HH:MM:SS text"

// The bytes on the wire for a message text: Windows-1252 ("?" for what it lacks) and "%".
QByteArray Frame(const QString &text);

// Whether a received line shows the active heat (exact, case-sensitive tests).
bool Is_heat_line(const QString &line);

// Fields 2 and 3 of a heat line ("/"-separated), where the line has them.
struct Heat_fields
{
    std::optional<QString> id;
    std::optional<QString> status;
};
Heat_fields Split_heat_line(const QString &line);

// Received lines as they are shown: decoded from the code page, and what their heat
// lines set. Every heat line is acted on, in order: a short one sets what it has and
// leaves the rest as the lines before it left it.
struct Received
{
    QStringList texts;
    Heat_fields heat;
};
Received Decode_lines(const QList<QByteArray> &lines);

// Act on the whole block read from the socket, once however often they occur.
bool Block_rings(const QByteArray &block); // the currency sign, byte 0xA4
bool Block_beeps(const QByteArray &block); // "#"

} // namespace Protocol

// Reassembles "%"-terminated lines from a TCP stream that may cut them anywhere.
// The piece after the last "%" is held and joined to the next block; the owner
// hands it out as a line when no more data comes, when the connection ends, or
// (here) when it grows past Max_held, so memory stays bounded.
class Line_splitter
{
public:
    static constexpr qsizetype Max_held = 64 * 1024;

    // The complete non-empty lines of held piece + block, in order; empty pieces
    // ("%%") are skipped.
    QList<QByteArray> Feed(const QByteArray &block);

    bool Holding() const { return !held_.isEmpty(); }

    // The held piece as a line (empty when nothing is held), and forgets it.
    QByteArray Take_held();

private:
    QByteArray held_;
};
