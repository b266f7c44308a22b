#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

// An event a provider posts to the host (connections, warnings). Plain value record so it can
// travel through queued connections and variants.
struct ComProviderEvent
{
    qint32 severity = 0; // 0 information, 1 warning
    QString title;       // short heading
    QString message;     // one sentence
    QString source;      // provider display name
};

Q_DECLARE_METATYPE(ComProviderEvent)
