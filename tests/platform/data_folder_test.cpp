#include "platform/data_folder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The installed data folder as the build laid it out, for a prefix.
QString installedData(const QString& prefix)
{
    return QDir::cleanPath(prefix + QStringLiteral("/bin/") + QStringLiteral(QM_DATA_FROM_BINDIR));
}

} // namespace

TEST(DataFolder, FoundFromTheExecutableForEveryLayout)
{
    struct Case {
        const char* name;
        bool installedTheme;   // <data>/Theme exists
        bool installedOther;   // <data> exists, without Theme
        bool besideExecutable; // <prefix>/bin/Theme exists
        bool expectInstalled;
    };
    const Case cases[] = {
        {"installed tree", true, false, false, true},
        {"build tree", false, false, true, false},
        {"data folder without images", false, true, true, false},
        {"nothing at all", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString prefix = dir.path() + QStringLiteral("/some prefix");
        const QString bin = prefix + QStringLiteral("/bin");
        ASSERT_TRUE(QDir().mkpath(bin));
        if (c.installedTheme) {
            ASSERT_TRUE(QDir().mkpath(installedData(prefix) + QStringLiteral("/Theme")));
        }
        if (c.installedOther) {
            ASSERT_TRUE(QDir().mkpath(installedData(prefix) + QStringLiteral("/help")));
        }
        if (c.besideExecutable) {
            ASSERT_TRUE(QDir().mkpath(bin + QStringLiteral("/Theme")));
        }
        const QString expected = c.expectInstalled ? installedData(prefix) : bin;
        EXPECT_EQ(DataFolderFor(bin), expected);
        EXPECT_EQ(DataFolderFor(bin + QStringLiteral("/")), expected);
    }
}
