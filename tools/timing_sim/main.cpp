// velantra-timing-sim: a local timing server for trying the remote starter.

#include "timing_sim.h"

#include "build_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velantra-timing-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELANTRA_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A local timing server for the Velantra remote starter."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption address({QStringLiteral("a"), QStringLiteral("address")},
                                     QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                     QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("Port to listen on (default 6002; 0 picks a free one)."),
                                  QStringLiteral("port"), QStringLiteral("6002"));
    const QCommandLineOption heat({QStringLiteral("H"), QStringLiteral("heat")},
                                  QStringLiteral("Number of the first active heat (default 1)."),
                                  QStringLiteral("number"), QStringLiteral("1"));
    parser.addOptions({address, port, heat});
    parser.process(app);

    QTextStream out(stdout);
    QHostAddress listen_address;
    bool port_ok = false, heat_ok = false;
    const uint port_number = parser.value(port).toUInt(&port_ok);
    const int first_heat = parser.value(heat).toInt(&heat_ok);
    if (!listen_address.setAddress(parser.value(address)) || !port_ok || port_number > 65535 || !heat_ok) {
        std::fprintf(stderr, "velantra-timing-sim: bad address, port or heat number (see --help)\n");
        return 2;
    }

    Timing_sim sim(out, first_heat);
    out << Timing_sim::Help() << Qt::endl;
    if (!sim.Listen(listen_address, static_cast<quint16>(port_number)))
        return 1;
    sim.Read_console();
    return app.exec();
}
