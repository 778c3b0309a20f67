#include "tasks/edit_text_rules.h"

#include "store/details_text.h"

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
    return DetailsWithLf(details);
}

QString EditorTextToDetails(const QString& text)
{
    return DetailsWithCrLf(text);
}
