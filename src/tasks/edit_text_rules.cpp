#include "tasks/edit_text_rules.h"

QString TrimControlChars(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString DetailsToEditorText(const QString& details)
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

QString EditorTextToDetails(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (const QChar c : text) {
        if (c == u'\n' || c == QChar::ParagraphSeparator)
            out.append(QLatin1String("\r\n"));
        else
            out.append(c);
    }
    return out;
}
