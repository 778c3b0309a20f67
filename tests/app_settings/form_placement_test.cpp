#include "app/form_placement.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "shared/todo_global.h"
#include "temp_config.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Two screens side by side, neither at the origin, and windows with frames: a client area at a
// screen's corner then puts the frame partly off that screen, as a title bar would be.
const char screensConfig[] = R"({
    "windowFrameMargins": true,
    "screens": [
        {"name": "left", "x": 100, "y": 60, "width": 1000, "height": 700},
        {"name": "right", "x": 1100, "y": 60, "width": 800, "height": 600}
    ]
})";

class PlacementTest : public TempConfig {
protected:
    static void SetUpTestSuite()
    {
        if (QApplication::instance())
            return;
        static QTemporaryDir dir;
        QFile config(dir.filePath("screens.json"));
        if (config.open(QIODevice::WriteOnly))
            config.write(screensConfig);
        config.close();
        static QByteArray platform = "offscreen:configfile=" + QFile::encodeName(config.fileName());
        static int argc = 3;
        static char name[] = "settings_tests";
        static char option[] = "-platform";
        static char* argv[] = {name, option, platform.data(), nullptr};
        new QApplication(argc, argv);
    }

    static QRect workArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    void storePlacement(const QRect& stored)
    {
        writeConfig(QString("[MainFormState]\nSaved=sz:\"1\"\nMaximized=sz:\"0\"\n"
                            "Left=dword:%1\nTop=dword:%2\nRight=dword:%3\nBottom=dword:%4\n")
                        .arg(stored.left())
                        .arg(stored.top())
                        .arg(qint64(stored.left()) + stored.width())
                        .arg(qint64(stored.top()) + stored.height())
                        .toUtf8());
    }

    // A window of the designed size given the placement `stored` and shown.
    void showRestored(QWidget& window, const QRect& stored)
    {
        storePlacement(stored);
        SettingsStore store;
        window.resize(640, 480);
        RestorePlacement(window, store);
        window.show();
        QCoreApplication::processEvents();
    }
};

TEST_F(PlacementTest, TheScreensAreAsConfigured)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    EXPECT_EQ(workArea(), QRect(100, 60, 1000, 700));
}

TEST_F(PlacementTest, AWindowThatWouldNotBeSeenWholeIsPutOnItsScreenFrameAndAll)
{
    const QRect left(100, 60, 1000, 700);
    const QRect right(1100, 60, 800, 600);
    struct Case {
        const char* name;
        QRect stored;
        QRect screen;   // whose work area must hold the whole frame
        QSize size;     // the client size expected, when it need not shrink
        QPoint frameAt; // expected top-left of the frame, when it is moved
    };
    const Case cases[] = {
        {"corner on no screen", QRect(5000, 200, 420, 310), left, QSize(420, 310), left.topLeft()},
        {"far above and left", QRect(-90000, -90000, 300, 200), left, QSize(300, 200),
         left.topLeft()},
        {"a window 16,777,215 pixels wide", QRect(150, 100, 16777215, 400), left, QSize(), {}},
        {"taller than its screen", QRect(150, 100, 500, 5000), left, QSize(), {}},
        {"huge and on no screen", QRect(-5000, 100, 16777215, 16777215), left, QSize(),
         left.topLeft()},
        {"on the right screen, past its edge",
         QRect(1700, 100, 400, 300),
         right,
         QSize(400, 300),
         {}},
        {"larger than the right screen", QRect(1200, 80, 3000, 2000), right, QSize(), {}},
    };
    for (const Case& c : cases) {
        QWidget window;
        showRestored(window, c.stored);
        const QRect frame = window.frameGeometry();
        EXPECT_TRUE(c.screen.contains(frame))
            << c.name << ": frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x"
            << frame.height();
        EXPECT_GT(frame.size().width(), window.width()) << c.name << ": the frame is known";
        if (c.size.isValid()) {
            EXPECT_EQ(window.size(), c.size) << c.name;
        } else {
            EXPECT_TRUE(frame.width() == c.screen.width() || frame.height() == c.screen.height())
                << c.name << ": fitted to the work area";
        }
        if (!c.frameAt.isNull()) {
            EXPECT_EQ(frame.topLeft(), c.frameAt) << c.name;
        }
    }
}

TEST_F(PlacementTest, AWindowThatFitsComesBackExactlyWhereItWas)
{
    // The stored rectangle is the client area of the window as it closed.
    for (const QRect& stored : {QRect(130, 90, 500, 300), QRect(1110, 70, 780, 580)}) {
        QWidget window;
        showRestored(window, stored);
        EXPECT_EQ(window.geometry(), stored);
    }
}

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

TEST_F(PlacementTest, MissingOrInvertedCornersKeepTheCurrentSize)
{
    writeConfig("[MainFormState]\nSaved=sz:\"1\"\nLeft=dword:120\nTop=dword:90\n"
                "Bottom=dword:10\n");
    SettingsStore store;
    QWidget window;
    window.resize(640, 480);
    RestorePlacement(window, store);
    EXPECT_EQ(window.geometry(), QRect(120, 90, 640, 480));
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

// The file a close writes is tests/data/platform/program_settings.conf, byte for byte. The
// Windows tests write that file's values into the registry and read back the same names and types.
TEST_F(PlacementTest, ClosingWritesTheSettingsTheWindowsTestsExpect)
{
    QWidget window;
    window.setGeometry(10, 20, 300, 200);
    SettingsStore store;
    RecentFiles = {"C:\\Lists\\a,b.qmtd", "C:\\Lists\\Work.qmtd"};
    LastOpenFileName = "C:\\Lists\\Work.qmtd";
    DisplayFontName = "DejaVu Sans";
    DisplayFontSize = 14;
    ASSERT_EQ(StorePlacement(window, store), std::nullopt);
    SaveSettings(store, smTiDePrCr);
    RecentFiles.clear();
    LastOpenFileName.clear();
    DisplayFontName = DefaultDisplayFontName;
    DisplayFontSize = DefaultDisplayFontSize;

    QFile fixture(QStringLiteral(QM_TEST_DATA_DIR "/platform/program_settings.conf"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    EXPECT_EQ(readConfig().toStdString(), fixture.readAll().toStdString());
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
