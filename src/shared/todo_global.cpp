#include "shared/todo_global.h"

#include <array>

namespace {
const std::array<const char*, SortModeCount> sortModeNames = {
    "smCaDePrTiCr", "smCompletedDesc", "smDePrTiCr", "smCreated", "smPrDeTiCr", "smTiDePrCr",
};

QByteArray signature(char schemaDigit)
{
    return ProductName.toLatin1() + " data file schema " + schemaDigit + " - " +
           ProductWebsite.toLatin1() + " |1382";
}
} // namespace

const QByteArray SignatureSchema1 = signature('1');
const QByteArray SignatureSchema2 = signature('2');

QString ApplicationTitle = QStringLiteral("Quillmark");
QString DisplayFontName = DefaultDisplayFontName;
int DisplayFontSize = DefaultDisplayFontSize;

QStringList RecentFiles;
QString LastOpenFileName;

QString SortModeName(int mode)
{
    if (mode < 0 || mode >= SortModeCount)
        return {};
    return QString::fromLatin1(sortModeNames[mode]);
}

int SortModeFromName(const QString& name)
{
    for (int i = 0; i < SortModeCount; ++i)
        if (name == QLatin1String(sortModeNames[i]))
            return i;
    return -1;
}

QString AsciiLower(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return result;
}

void AddRecentFile(const QString& fileName)
{
    LastOpenFileName = fileName;
    const QString folded = AsciiLower(fileName);
    for (qsizetype i = RecentFiles.size() - 1; i >= 0; --i)
        if (AsciiLower(RecentFiles[i]) == folded)
            RecentFiles.removeAt(i);
    RecentFiles.insert(0, fileName);
    while (RecentFiles.size() > MaxRecentFiles)
        RecentFiles.removeLast();
}

QString PriorityName(qint64 priority)
{
    switch (priority) {
    case 0:
        return QStringLiteral("High");
    case 1:
        return QStringLiteral("Normal");
    case 2:
        return QStringLiteral("Low");
    default:
        return QString::number(priority);
    }
}
