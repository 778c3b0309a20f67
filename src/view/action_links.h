#pragma once
// The image buttons on each task row: "act:<word>/<record index>" links around a button image.

#include <QString>

enum class TActionKind { Edit, Done, DoAgain, More, Undo };

// Full paths of the five button images.
struct ActionImagePaths {
    QString ImgEditTask;
    QString ImgTaskDone;
    QString ImgDoTaskAgain;
    QString ImgMore;
    QString ImgUndoTask;
};

// The images' file names inside the Theme folder.
QString ActionImageFileName(TActionKind kind);
// "<dataFolder>/Theme/<file>" for each button.
ActionImagePaths SetActionImagePaths(const QString& dataFolder);

// "act:edit", "act:done", "act:doagain", "act:menu", "act:undo".
QLatin1StringView ActionText(TActionKind kind);

QString ActionLink(TActionKind kind, int recIndex, const ActionImagePaths& paths);
void AppendActionLink(QString& out, TActionKind kind, int recIndex, const ActionImagePaths& paths);
