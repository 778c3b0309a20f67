#include "view/action_links.h"

#include <QDir>

namespace {
QLatin1StringView actionText(TActionKind kind)
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

ActionImagePaths SetActionImagePaths(const QString& executableFolder)
{
    const QString theme = QDir::cleanPath(executableFolder) + QStringLiteral("/Theme/");
    ActionImagePaths paths;
    paths.ImgEditTask = theme + ActionImageFileName(TActionKind::Edit);
    paths.ImgTaskDone = theme + ActionImageFileName(TActionKind::Done);
    paths.ImgDoTaskAgain = theme + ActionImageFileName(TActionKind::DoAgain);
    paths.ImgMore = theme + ActionImageFileName(TActionKind::More);
    paths.ImgUndoTask = theme + ActionImageFileName(TActionKind::Undo);
    return paths;
}

QString ActionText(TActionKind kind)
{
    return actionText(kind);
}

void AppendActionLink(QString& out, TActionKind kind, int recIndex, const ActionImagePaths& paths)
{
    out += QLatin1StringView("<a href=\"");
    out += actionText(kind);
    out += QLatin1Char('/');
    out += QString::number(recIndex);
    out += QLatin1StringView("\" class=\"button\"><img src=\"");
    out += imagePath(kind, paths);
    out += QLatin1StringView("\" border=\"0\"></a>");
}

QString ActionLink(TActionKind kind, int recIndex, const ActionImagePaths& paths)
{
    QString out;
    out.reserve(96 + imagePath(kind, paths).size());
    AppendActionLink(out, kind, recIndex, paths);
    return out;
}
