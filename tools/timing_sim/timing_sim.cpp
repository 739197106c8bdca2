#include "timing_sim.h"

#include "core/shared/ansi_text.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTime>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

Timing_sim::Timing_sim(QTextStream &out, int first_heat, QObject *parent)
    : QObject(parent), out_(out), heat_(first_heat)
{
    server_ = new QTcpServer(this);
    connect(server_, &QTcpServer::newConnection, this, &Timing_sim::Accept);
}

bool Timing_sim::Listen(const QHostAddress &address, quint16 port)
{
    if (!server_->listen(address, port)) {
        Print(QStringLiteral("cannot listen on %1:%2: %3")
                  .arg(address.toString()).arg(port).arg(server_->errorString()));
        return false;
    }
    Print(QStringLiteral("Listening on %1:%2, active heat %3")
              .arg(server_->serverAddress().toString()).arg(server_->serverPort()).arg(heat_));
    return true;
}

QString Timing_sim::Help()
{
    return QStringLiteral(
        "Type a line and Enter to send it to every client (\"%\" is added; \u00A4 rings, # beeps).\n"
        "Commands:\n"
        "  /next        move to the next heat and announce it\n"
        "  /heat N      make heat N the active heat and announce it\n"
        "  /ring        send the ring sign (\u00A4)\n"
        "  /beep        send the beep sign (#)\n"
        "  /clients     list the connected clients\n"
        "  /help        this text\n"
        "  /quit        stop the simulator");
}

void Timing_sim::Print(const QString &text)
{
    out_ << QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) << "  " << text << Qt::endl;
}

QString Timing_sim::Peer(QTcpSocket *client)
{
    return client->peerAddress().toString() + QLatin1Char(':') + QString::number(client->peerPort());
}

QString Timing_sim::Heat_line() const
{
    return QStringLiteral("Velantra Active Heat/%1/%2").arg(heat_).arg(status_);
}

void Timing_sim::Accept()
{
    while (QTcpSocket *client = server_->nextPendingConnection()) {
        client->setParent(this);
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        clients_.insert(client, Line_splitter());
        connect(client, &QTcpSocket::readyRead, this, [this, client] { Receive(client); });
        connect(client, &QTcpSocket::disconnected, this, [this, client] { Drop(client); });
        Print(QStringLiteral("%1 connected (%2 client(s))").arg(Peer(client)).arg(clients_.size()));
        const QString line = Heat_line();
        client->write(Protocol::Frame(line));
        Print(QStringLiteral("-> %1: %2").arg(Peer(client), line));
    }
}

void Timing_sim::Drop(QTcpSocket *client)
{
    if (!clients_.contains(client))
        return;
    Line_splitter splitter = clients_.take(client);
    const QByteArray rest = splitter.Take_held();
    if (!rest.isEmpty())
        Print(QStringLiteral("<- %1: %2   (unterminated)").arg(Peer(client), From_Ansi(rest)));
    Print(QStringLiteral("%1 disconnected (%2 client(s))").arg(Peer(client)).arg(clients_.size()));
    client->deleteLater();
}

void Timing_sim::Receive(QTcpSocket *client)
{
    auto it = clients_.find(client);
    if (it == clients_.end())
        return;
    const QList<QByteArray> lines = it->Feed(client->readAll());
    for (const QByteArray &line : lines)
        Handle_line(client, line);
}

void Timing_sim::Handle_line(QTcpSocket *client, const QByteArray &bytes)
{
    const QString line = From_Ansi(bytes);
    Print(QStringLiteral("<- %1: %2").arg(Peer(client), line));
    // The remote starter's commands are its time stamp followed by these words.
    if (line.endsWith(QLatin1String(" Velantra Start"))) {
        status_ = QStringLiteral("Start");
        Send_all(QStringLiteral("Velantra Heat/%1/Start").arg(heat_));
    } else if (line.endsWith(QLatin1String(" Velantra Abort"))) {
        status_ = QStringLiteral("Abort");
        Send_all(QStringLiteral("Velantra Heat/%1/Abort").arg(heat_));
    }
}

void Timing_sim::Send_all(const QString &text)
{
    const QByteArray bytes = Protocol::Frame(text);
    for (auto it = clients_.cbegin(); it != clients_.cend(); ++it)
        it.key()->write(bytes);
    Print(QStringLiteral("-> %1 client(s): %2").arg(clients_.size()).arg(text));
}

void Timing_sim::Command(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return;
    if (!text.startsWith(QLatin1Char('/'))) {
        Send_all(typed);
        return;
    }
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString command = words.first();
    if (command == QLatin1String("/next") || command == QLatin1String("/heat")) {
        int heat = heat_ + 1;
        if (command == QLatin1String("/heat")) {
            bool ok = false;
            heat = words.size() == 2 ? words.at(1).toInt(&ok) : 0;
            if (!ok) {
                Print(QStringLiteral("usage: /heat N"));
                return;
            }
        }
        heat_ = heat;
        status_ = QStringLiteral("Ready");
        Send_all(Heat_line());
    } else if (command == QLatin1String("/ring")) {
        Send_all(QStringLiteral("\u00A4"));
    } else if (command == QLatin1String("/beep")) {
        Send_all(QStringLiteral("#"));
    } else if (command == QLatin1String("/clients")) {
        Print(QStringLiteral("%1 client(s)").arg(clients_.size()));
        for (auto it = clients_.cbegin(); it != clients_.cend(); ++it)
            Print(QStringLiteral("  ") + Peer(it.key()));
    } else if (command == QLatin1String("/help")) {
        out_ << Help() << Qt::endl;
    } else if (command == QLatin1String("/quit")) {
        Print(QStringLiteral("stopping"));
        QCoreApplication::quit();
    } else {
        Print(QStringLiteral("unknown command %1 (/help lists them)").arg(command));
    }
}

void Timing_sim::Read_console()
{
#ifdef Q_OS_UNIX
    console_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(console_, &QSocketNotifier::activated, this, &Timing_sim::Console_ready);
#endif
}

void Timing_sim::Console_ready()
{
#ifdef Q_OS_UNIX
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // The console is gone (or was never there, as when started in the background):
        // go on serving the clients.
        console_->setEnabled(false);
        return;
    }
    console_buffer_.append(buffer, static_cast<qsizetype>(n));
    for (qsizetype end; (end = console_buffer_.indexOf('\n')) >= 0;) {
        const QByteArray line = console_buffer_.left(end);
        console_buffer_.remove(0, end + 1);
        QString text = QString::fromLocal8Bit(line);
        if (text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        Command(text);
    }
    if (console_buffer_.size() > 64 * 1024)
        console_buffer_.clear(); // no line is that long; drop the noise
#endif
}
