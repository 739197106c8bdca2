#pragma once
// The application object that keeps an unexpected failure from ending the program.

#include <QApplication>

class Safe_application : public QApplication
{
    Q_OBJECT
public:
    Safe_application(int &argc, char **argv);

    // Any exception escaping an event handler goes to the failure route (location:
    // the receiver's name, else its class; line 0) and the event loop goes on.
    bool notify(QObject *receiver, QEvent *event) override;
};
