#include "app/app_info.h"

#include "platform/data_folder.h"

#include <QFileInfo>

QString FileVersion()
{
    return QStringLiteral(QM_VERSION);
}

QString SupportMailLink(const QString& version)
{
    QString subject = ProductName;
    subject.replace(QLatin1Char(' '), QStringLiteral("%20"));
    return QStringLiteral("mailto:%1?subject=%2%20%3").arg(SupportMailAddress, subject, version);
}

QString HelpFilePath(const QString& programPath)
{
#ifdef Q_OS_WIN
    return programPath.left(programPath.size() - 3) + QStringLiteral("chm");
#else
    return DataFolderFor(QFileInfo(programPath).absolutePath()) +
           QStringLiteral("/help/index.html");
#endif
}
