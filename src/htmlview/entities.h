#pragma once
// Character references: named ones common on hand-written pages and numeric ones.

#include <QString>
#include <QStringView>

namespace htmlview {

// Appends `text` to `out` with every character reference replaced.
void decodeEntities(QStringView text, QString& out);
inline bool mayHoldEntity(QStringView text)
{
    return text.contains(u'&');
}

} // namespace htmlview
