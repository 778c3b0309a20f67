#include "app/list_file_names.h"

#include "platform/file_names.h"
#include "shared/todo_global.h"

#include <QFileInfo>

QString ListDisplayName(const QString& path)
{
    qsizetype start = path.lastIndexOf(QLatin1Char('/')) + 1;
#ifdef Q_OS_WIN
    start = std::max(
        {start, path.lastIndexOf(QLatin1Char('\\')) + 1, path.lastIndexOf(QLatin1Char(':')) + 1});
#endif
    QString name = path.mid(start);
    if (name.endsWith(ListFileExtension, Qt::CaseInsensitive))
        name.chop(ListFileExtension.size());
    return name;
}

bool ListFileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return PathExists(path) && !PathIsFolder(path);
}

bool SameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    const QString canonicalA = first.canonicalFilePath();
    if (!canonicalA.isEmpty() && canonicalA == second.canonicalFilePath())
        return true;
    return first.absoluteFilePath() == second.absoluteFilePath();
}
