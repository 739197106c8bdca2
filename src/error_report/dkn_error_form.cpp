#include "error_report/dkn_error_form.h"

#include <QDebug>

void DKN_Error_Handler(const QString &description, qint16 number, qint16 line,
                       const QString &location, const QString &extra)
{
    qWarning().noquote() << location << line << number << description << extra;
}
