#include "platform/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef QM_DATA_FROM_BINDIR
#define QM_DATA_FROM_BINDIR "../share/quillmark"
#endif

QString DataFolderFor(const QString& executableFolder)
{
    const QString installed =
        QDir::cleanPath(executableFolder + QLatin1Char('/') + QStringLiteral(QM_DATA_FROM_BINDIR));
    if (QFileInfo(installed + QStringLiteral("/Theme")).isDir())
        return installed;
    return QDir::cleanPath(executableFolder);
}

QString DataFolder()
{
    return DataFolderFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                      : QDir::currentPath());
}
