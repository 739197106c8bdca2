#pragma once
// The application object that keeps an unexpected failure from ending the program.

#include <QApplication>
#include <exception>

class Safe_application : public QApplication
{
    Q_OBJECT
public:
    Safe_application(int &argc, char **argv);

    // Any exception escaping an event handler goes to the error-report window
    // (location: the receiver's name, line 0) and the event loop goes on.
    bool notify(QObject *receiver, QEvent *event) override;
};

// Hands a failure caught outside the event loop's guard (at start-up) to the
// error-report window, as if an event handler of that name had thrown it.
void Report_failure(const QString &location, std::exception_ptr failure);
