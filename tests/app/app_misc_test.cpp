// The command line, the names the window shows, the about box and the error handler.

#include "app/access_keys.h"
#include "app/app_info.h"
#include "app/command_line.h"
#include "app/error_handler.h"
#include "app/form_about.h"
#include "app/list_file_names.h"
#include "app_test_support.h"
#include "store/task_table.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

TEST(CommandLine, Parsing)
{
    struct Case {
        QStringList arguments;
        bool help;
        bool version;
        const char* screenshot;
        const char* listFile;
        bool error;
    };
    const Case cases[] = {
        {{}, false, false, "", "", false},
        {{"Chores.qmtd", "Other.qmtd"}, false, false, "", "Chores.qmtd", false},
        {{"--help"}, true, false, "", "", false},
        {{"--version", "a.qmtd"}, false, true, "", "a.qmtd", false},
        {{"--screenshot", "shot.png", "a.qmtd"}, false, false, "shot.png", "a.qmtd", false},
        {{"--screenshot"}, false, false, "", "", true},
        {{"--frobnicate"}, false, false, "", "", true},
        {{"--", "--help"}, false, false, "", "--help", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const TCommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(parsed.help, c.help);
        EXPECT_EQ(parsed.version, c.version);
        EXPECT_EQ(parsed.screenshotFile, QString::fromLatin1(c.screenshot));
        EXPECT_EQ(parsed.listFile, QString::fromLatin1(c.listFile));
        EXPECT_EQ(!parsed.error.isEmpty(), c.error);
    }
}

TEST(ListFileNames, DisplayName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/home/ann/Chores.qmtd", "Chores"},
        {"/home/ann/Chores.QMTD", "Chores"},
        {"/home/ann/notes.txt", "notes.txt"},
        {"Plain.qmtd", "Plain"},
        {"/home/ann/.qmtd", ""},
        {"", ""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(ListDisplayName(QString::fromLatin1(path)), QString::fromLatin1(expected))
            << path;
}

TEST(AppInfo, VersionAndSupportLink)
{
    EXPECT_EQ(FileVersion(), QStringLiteral("1.2.2.9"));
    EXPECT_EQ(SupportMailLink(FileVersion()),
              QStringLiteral("mailto:support@quillmark.org?subject=Quillmark%201.2.2.9"));
}

TEST_F(AppTest, AboutBoxShowsVersionAndMailLink)
{
    TFormMain& form = Start();
    TFormAbout& about = *FWindows->FormAbout;
    bool wasVisible = false;
    QTimer::singleShot(0, &about, [&] {
        wasVisible = about.isVisible();
        about.ButtonOK->click();
    });
    form.ShowAbout();
    EXPECT_TRUE(wasVisible);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quillmark"));
    EXPECT_EQ(about.size(), QSize(400, 243));
    EXPECT_EQ(about.LabelVersion->text(), QStringLiteral("Version 1.2.2.9"));
    EXPECT_EQ(about.RzURLLabelEmail->target(), SupportMailLink(QStringLiteral("1.2.2.9")));
    EXPECT_EQ(about.RzURLLabelWebsite->target(), QStringLiteral("https://quillmark.org"));
}

namespace {
class ThrowingObject : public QObject {
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw TaskStoreError(QStringLiteral("The list file cannot be written."));
        return QObject::event(event);
    }
};
} // namespace

TEST_F(AppTest, ErrorsEscapingHandlersAreShownAndTheProgramGoesOn)
{
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &event));
    ASSERT_EQ(Prompts::shown().size(), 1);
    EXPECT_EQ(Prompts::shown().front().kind, Prompts::Kind::Error);
    EXPECT_EQ(Prompts::shown().front().caption, QStringLiteral("Error"));
    EXPECT_EQ(Prompts::shown().front().text, QStringLiteral("The list file cannot be written."));

    EXPECT_FALSE(RunGuarded(QStringLiteral("TabSetFilterChange"), [] {
        throw std::runtime_error("Unknown TabSetFilter.TabIndex value (7)");
    }));
    EXPECT_EQ(Prompts::shown().back().text,
              QStringLiteral("Unknown TabSetFilter.TabIndex value (7)"));
    const QString details = ErrorDetails(QStringLiteral("TabSetFilterChange"));
    EXPECT_TRUE(details.contains(QStringLiteral("1.2.2.9")));
    EXPECT_TRUE(details.contains(QStringLiteral("TabSetFilterChange")));
}

TEST(AccessKeys, StripAccessKey)
{
    const std::pair<const char*, const char*> cases[] = {
        {"&File", "File"},
        {"Open &Recent", "Open Recent"},
        {"Tom && Jerry", "Tom & Jerry"},
        {"&Tom && Jerry", "Tom & Jerry"},
        {"Plain", "Plain"},
        {"", ""},
    };
    for (const auto& [caption, shown] : cases)
        EXPECT_EQ(StripAccessKey(QString::fromLatin1(caption)), QString::fromLatin1(shown))
            << caption;
}

TEST_F(AppTest, EveryMenuItemHasAUniqueAccessKey)
{
    WriteSimpleList(path("A&B.qmtd"), 1, 0);
    WriteSimpleList(path("Another.qmtd"), 1, 0);
    WriteSimpleList(path("Open.qmtd"), 1, 0);
    StoreRecentFiles(
        {path("Missing.qmtd"), path("A&B.qmtd"), path("Another.qmtd"), path("Open.qmtd")},
        path("Missing.qmtd"));
    TFormMain& form = Start();
    std::function<void(QMenu*)> check = [&](QMenu* menu) {
        QSet<QChar> keys;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            EXPECT_FALSE(QKeySequence::mnemonic(action->text()).isEmpty())
                << action->text().toStdString();
            const QString text = action->text();
            const qsizetype marker = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            ASSERT_GE(marker, 0) << text.toStdString();
            const QChar key = text[marker + 1].toLower();
            EXPECT_FALSE(keys.contains(key)) << action->text().toStdString();
            keys.insert(key);
            if (action->menu())
                check(action->menu());
        }
    };
    for (QMenu* menu :
         {form.MenuFile, form.MenuEdit, form.MenuTasks, form.MenuHelp, form.PopupMenuSort})
        check(menu);
    EXPECT_EQ(StripAccessKey(form.ActionNewList->text()), QStringLiteral("New ToDo List..."));
    QStringList recent;
    for (QAction* item : form.OpenRecent1->actions())
        recent.append(StripAccessKey(item->text()));
    EXPECT_EQ(recent, (QStringList{"A&B", "Another", "Open"}));
}

TEST_F(AppTest, BundledHelpExplainsEveryCommand)
{
    TFormMain& form = Start();
    QFile help(QStringLiteral(":/help/index.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll());
    for (QAction* action : form.actions()) {
        const QString caption = StripAccessKey(action->text());
        EXPECT_TRUE(text.contains(caption)) << caption.toStdString();
    }
    EXPECT_TRUE(text.contains(QStringLiteral("Open Recent")));
}

TEST_F(AppTest, WindowIconIsTheDesktopIconAtEverySize)
{
    TFormMain& form = Start();
    const QIcon icon = form.windowIcon();
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // The blue tile left of the sheet: a real picture, not an empty one.
        const QColor inside = image.pixelColor(size * 7 / 64, size / 2);
        EXPECT_GT(inside.alpha(), 200);
        EXPECT_GT(inside.blue(), inside.red());
    }
}
