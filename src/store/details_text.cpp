#include "store/details_text.h"

QString DetailsWithCrLf(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out.append(QLatin1String("\r\n"));
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n' || c == QChar::ParagraphSeparator) {
            out.append(QLatin1String("\r\n"));
        } else {
            out.append(c);
        }
    }
    return out;
}

QString DetailsWithLf(const QString& details)
{
    QString out;
    out.reserve(details.size());
    for (qsizetype i = 0; i < details.size(); ++i) {
        const QChar c = details.at(i);
        if (c == u'\r') {
            out.append(u'\n');
            if (i + 1 < details.size() && details.at(i + 1) == u'\n')
                ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}
