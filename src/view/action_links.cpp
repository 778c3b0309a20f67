#include "view/action_links.h"

#include <QDir>

namespace {
// Decimal digits straight into the page, without a temporary string per link.
void appendNumber(QString& out, int value)
{
    char16_t digits[12];
    int n = 0;
    unsigned magnitude =
        value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        out += QLatin1Char('-');
    while (n > 0)
        out += QChar(digits[--n]);
}

const QString& imagePath(TActionKind kind, const ActionImagePaths& paths)
{
    switch (kind) {
    case TActionKind::Edit:
        return paths.ImgEditTask;
    case TActionKind::Done:
        return paths.ImgTaskDone;
    case TActionKind::DoAgain:
        return paths.ImgDoTaskAgain;
    case TActionKind::More:
        return paths.ImgMore;
    case TActionKind::Undo:
        return paths.ImgUndoTask;
    }
    return paths.ImgEditTask;
}
} // namespace

QString ActionImageFileName(TActionKind kind)
{
    switch (kind) {
    case TActionKind::Edit:
        return QStringLiteral("edittask.png");
    case TActionKind::Done:
        return QStringLiteral("taskdone.png");
    case TActionKind::DoAgain:
        return QStringLiteral("dotaskagain.png");
    case TActionKind::More:
        return QStringLiteral("more.png");
    case TActionKind::Undo:
        return QStringLiteral("undotask.png");
    }
    return {};
}

ActionImagePaths SetActionImagePaths(const QString& dataFolder)
{
    const QString theme = QDir::cleanPath(dataFolder) + QStringLiteral("/Theme/");
    ActionImagePaths paths;
    paths.ImgEditTask = theme + ActionImageFileName(TActionKind::Edit);
    paths.ImgTaskDone = theme + ActionImageFileName(TActionKind::Done);
    paths.ImgDoTaskAgain = theme + ActionImageFileName(TActionKind::DoAgain);
    paths.ImgMore = theme + ActionImageFileName(TActionKind::More);
    paths.ImgUndoTask = theme + ActionImageFileName(TActionKind::Undo);
    return paths;
}

QLatin1StringView ActionText(TActionKind kind)
{
    switch (kind) {
    case TActionKind::Edit:
        return QLatin1StringView("act:edit");
    case TActionKind::Done:
        return QLatin1StringView("act:done");
    case TActionKind::DoAgain:
        return QLatin1StringView("act:doagain");
    case TActionKind::More:
        return QLatin1StringView("act:menu");
    case TActionKind::Undo:
        return QLatin1StringView("act:undo");
    }
    return {};
}

void AppendActionLink(QString& out, TActionKind kind, int recIndex, const ActionImagePaths& paths)
{
    out += QStringView(u"<a href=\"");
    out += ActionText(kind);
    out += QLatin1Char('/');
    appendNumber(out, recIndex);
    out += QStringView(u"\" class=\"button\"><img src=\"");
    out += imagePath(kind, paths);
    out += QStringView(u"\" border=\"0\"></a>");
}

QString ActionLink(TActionKind kind, int recIndex, const ActionImagePaths& paths)
{
    QString out;
    out.reserve(96 + imagePath(kind, paths).size());
    AppendActionLink(out, kind, recIndex, paths);
    return out;
}
