#pragma once

#include "net/CQvLog.h"

#include <QList>
#include <QString>
#include <QStringList>

// The operation records waiting to be sent, as their event codes in the order written.
inline QList<int> RecordedEvents()
{
    QList<int> events;
    for (const QString& r : CQvLog::GetInstance().PendingRecords()) events.append(r.split(QLatin1Char('\t')).value(4).toInt());
    return events;
}
