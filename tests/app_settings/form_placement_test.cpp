#include "app/form_placement.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "temp_config.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class PlacementTest : public TempConfig {
protected:
    static void SetUpTestSuite()
    {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "settings_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    static QRect workArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }
};

TEST_F(PlacementTest, FirstRunLeavesTheWindowWhereItIs)
{
    SettingsStore store;
    EXPECT_FALSE(PlacementSaved(store));
    QWidget window;
    window.resize(640, 480);
    RestorePlacement(window, store);
    EXPECT_FALSE(window.testAttribute(Qt::WA_Moved));
    EXPECT_EQ(window.size(), QSize(640, 480));
    EXPECT_FALSE(window.isMaximized());
}

TEST_F(PlacementTest, StoredRectangleIsRestoredOrMovedOntoTheWorkArea)
{
    const QRect area = workArea();
    struct Case {
        QRect stored;
        QRect expected;
    };
    const Case cases[] = {
        {QRect(area.left() + 30, area.top() + 40, 500, 300),
         QRect(area.left() + 30, area.top() + 40, 500, 300)},
        {QRect(area.right() + 5000, area.top() + 10, 420, 310),
         QRect(area.topLeft(), QSize(420, 310))},
        {QRect(-90000, -90000, 300, 200), QRect(area.topLeft(), QSize(300, 200))},
        {QRect(2147483000, 2147483000, 300, 200), QRect(area.topLeft(), QSize(300, 200))},
    };
    for (const Case& c : cases) {
        writeConfig(QString("[MainFormState]\nSaved=sz:\"1\"\nMaximized=sz:\"0\"\n"
                            "Left=dword:%1\nTop=dword:%2\nRight=dword:%3\nBottom=dword:%4\n")
                        .arg(c.stored.left())
                        .arg(c.stored.top())
                        .arg(qint64(c.stored.left()) + c.stored.width())
                        .arg(qint64(c.stored.top()) + c.stored.height())
                        .toUtf8());
        SettingsStore store;
        ASSERT_TRUE(PlacementSaved(store));
        QWidget window;
        window.resize(640, 480);
        RestorePlacement(window, store);
        EXPECT_EQ(window.geometry(), c.expected) << c.stored.left();
    }
}

TEST_F(PlacementTest, MissingOrInvertedCornersKeepTheCurrentSize)
{
    writeConfig("[MainFormState]\nSaved=sz:\"1\"\nLeft=dword:20\nTop=dword:30\n"
                "Bottom=dword:10\n");
    SettingsStore store;
    QWidget window;
    window.resize(640, 480);
    RestorePlacement(window, store);
    EXPECT_EQ(window.geometry(), QRect(20, 30, 640, 480));
}

TEST_F(PlacementTest, MaximizedWindowRoundTripKeepsItsNormalRectangle)
{
    const QRect normal(workArea().left() + 50, workArea().top() + 60, 400, 300);
    {
        QWidget window;
        window.setGeometry(normal);
        window.showMaximized();
        SettingsStore store;
        EXPECT_EQ(StorePlacement(window, store), std::nullopt);
        EXPECT_TRUE(store.ReadBool("MainFormState", "Maximized", false));
        EXPECT_EQ(store.ReadInteger("MainFormState", "Right", 0), normal.left() + 400);
        EXPECT_EQ(store.ReadInteger("MainFormState", "Bottom", 0), normal.top() + 300);
    }
    SettingsStore store;
    ASSERT_TRUE(PlacementSaved(store));
    QWidget window;
    window.resize(640, 480);
    RestorePlacement(window, store);
    window.show();
    EXPECT_TRUE(window.isMaximized());
    window.showNormal();
    EXPECT_EQ(window.geometry(), normal);
}

TEST_F(PlacementTest, MinimizedWindowIsStoredAsNotMaximized)
{
    const QRect normal(workArea().left() + 10, workArea().top() + 20, 300, 200);
    QWidget window;
    window.setGeometry(normal);
    window.showMaximized();
    window.setWindowState(window.windowState() | Qt::WindowMinimized);
    SettingsStore store;
    EXPECT_EQ(StorePlacement(window, store), std::nullopt);
    EXPECT_FALSE(store.ReadBool("MainFormState", "Maximized", true));
    EXPECT_EQ(store.ReadInteger("MainFormState", "Left", 0), normal.left());
    EXPECT_EQ(store.ReadInteger("MainFormState", "Bottom", 0), normal.top() + 200);
}

TEST_F(PlacementTest, ClosingWritesBothSectionsWithSavedLast)
{
    QWidget window;
    window.setGeometry(10, 20, 300, 200);
    SettingsStore store;
    quint8 order = 0;
    LoadSettings(store, {}, order);
    ASSERT_EQ(StorePlacement(window, store), std::nullopt);
    SaveSettings(store, order);
    const QByteArray file = readConfig();
    EXPECT_TRUE(file.contains("[MainFormState]\nMaximized=sz:\"0\"\nLeft=dword:10\nTop=dword:20\n"
                              "Right=dword:310\nBottom=dword:220\nSaved=sz:\"1\"\n"))
        << file.toStdString();
    EXPECT_TRUE(file.contains("[Settings]\nRecentOpenFiles=sz:\"\"\n")) << file.toStdString();
}

TEST_F(PlacementTest, StoreFailureIsReturnedNotThrown)
{
    QDir().mkpath(configPath()); // a folder where the file should be
    QWidget window;
    window.setGeometry(10, 20, 300, 200);
    SettingsStore store;
    const std::optional<QString> error = StorePlacement(window, store);
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(error->isEmpty());
}

} // namespace
