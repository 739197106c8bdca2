#pragma once
#include <QString>
#include <QtGlobal>

// Reports one trapped failure in the error-report window; never fails towards its caller.
void DKN_Error_Handler(const QString &description, qint16 number, qint16 line,
                       const QString &location, const QString &extra);
