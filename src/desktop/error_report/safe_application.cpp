#include "desktop/error_report/safe_application.h"

#include "core/shared/failure.h"

Safe_application::Safe_application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Safe_application::notify(QObject *receiver, QEvent *event)
{
    // Named now: the handler that throws may have deleted its receiver.
    const QString name = receiver ? receiver->objectName() : QString();
    const char *class_name = receiver ? receiver->metaObject()->className() : "";
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        Report_failure(name.isEmpty() ? QString::fromLatin1(class_name) : name);
    }
    return false;
}
