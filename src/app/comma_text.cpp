#include "app/comma_text.h"

QString CommaText(const QStringList& entries)
{
    if (entries.size() == 1 && entries.front().isEmpty())
        return QStringLiteral("\"\"");
    QString text;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i > 0)
            text += u',';
        const QString& entry = entries[i];
        if (entry.contains(u',') || entry.contains(u'"')) {
            QString inner = entry;
            inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            text += u'"' + inner + u'"';
        } else {
            text += entry;
        }
    }
    return text;
}

QStringList ParseCommaText(const QString& text)
{
    QStringList entries;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        QString entry;
        if (text[i] == u'"') {
            // Up to the next lone quote; a doubled quote stands for one. An unclosed quote
            // runs to the end.
            for (++i; i < size; ++i) {
                if (text[i] == u'"') {
                    if (i + 1 < size && text[i + 1] == u'"') {
                        entry += u'"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                entry += text[i];
            }
        } else {
            const qsizetype comma = text.indexOf(u',', i);
            const qsizetype end = comma < 0 ? size : comma;
            entry = text.mid(i, end - i);
            i = end;
        }
        entries.append(entry);
        // Text after a closing quote is not skipped: it starts the next entry.
        if (i < size && text[i] == u',') {
            ++i;
            if (i == size)
                entries.append(QString());
        }
    }
    return entries;
}
