// The view state, the display order button, printing, font, copy and closing.

#include "app/access_keys.h"
#include "app/settings_store.h"
#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

int PdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray content = file.readAll();
    return int(content.count("/Type /Page\n") + content.count("/Type /Page\r") +
               content.count("/Type /Page ") + content.count("/Type /Page/"));
}

} // namespace

TEST_F(AppTest, CompletedViewKeepsTheUncompletedOrder)
{
    WriteSimpleList(path("Work.qmtd"), 3, 2);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    form.SetTaskSortMode(smPrDeTiCr);
    form.SetTaskViewFilter(tvfCompleted);
    Idle();
    EXPECT_EQ(form.TabSetFilter->currentIndex(), 1);
    EXPECT_EQ(form.GetTaskSortMode(), smCompletedDesc);
    EXPECT_FALSE(form.ToolButtonSortMode->isEnabled());
    EXPECT_EQ(form.ToolButtonSortMode->text(), QStringLiteral("Group by Priority"));
    for (QAction* order : {form.ActionSortCaDePrTiCr, form.ActionSortCreated,
                           form.ActionSortDeadline, form.ActionSortPriority, form.ActionSortTitle})
        EXPECT_FALSE(order->isChecked()) << order->text().toStdString();
    EXPECT_TRUE(form.ActionShowCompleted->isChecked());
    EXPECT_FALSE(form.ActionShowUncompleted->isChecked());
    EXPECT_EQ(form.RecsShown(), 2);
    EXPECT_EQ(form.CompletedTasks(), 2);
    EXPECT_TRUE(form.ActionPrint->isEnabled());
    EXPECT_TRUE(form.ActionDeleteCompleted->isEnabled());

    // Choosing an order here changes the uncompleted view's order; the page keeps the
    // completion order.
    form.ActionSortTitle->trigger();
    Idle();
    EXPECT_EQ(form.TaskSortModeField(), smTiDePrCr);
    EXPECT_EQ(form.ToolButtonSortMode->text(), QStringLiteral("Sort by Task Title"));
    EXPECT_FALSE(form.ActionSortTitle->isChecked());
    EXPECT_FALSE(form.taskViewer().documentSource().contains(QStringLiteral("Open task")));

    form.TabSetFilter->setCurrentIndex(0);
    Idle();
    EXPECT_EQ(form.TaskViewFilter(), tvfUncompleted);
    EXPECT_TRUE(form.ActionSortTitle->isChecked());
    EXPECT_TRUE(form.ToolButtonSortMode->isEnabled());
    EXPECT_EQ(form.RecsShown(), 3);
}

TEST_F(AppTest, ListWithoutUncompletedTasks)
{
    WriteSimpleList(path("Done.qmtd"), 0, 3);
    StoreRecentFiles({path("Done.qmtd")}, path("Done.qmtd"));
    TFormMain& form = Start();
    EXPECT_EQ(form.RecsShown(), 0);
    EXPECT_EQ(form.CompletedTasks(), 3);
    EXPECT_FALSE(form.ActionPrint->isEnabled());
    EXPECT_FALSE(form.ToolButtonSortMode->isEnabled());
    EXPECT_TRUE(form.ActionDeleteCompleted->isEnabled());
    EXPECT_TRUE(form.ActionDeleteCompletedOverWeek->isEnabled());
    EXPECT_TRUE(form.ActionToDoNewItem->isEnabled());
}

TEST_F(AppTest, UnknownTabIndexIsRefused)
{
    WriteSimpleList(path("Work.qmtd"), 2, 1);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    const QString page = form.taskViewer().documentSource();
    try {
        form.TabSetFilterChange(5);
        FAIL() << "no error raised";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Unknown TabSetFilter.TabIndex value (5)");
    }
    EXPECT_EQ(form.TaskViewFilter(), tvfUncompleted);
    EXPECT_EQ(form.taskViewer().documentSource(), page);
}

TEST_F(AppTest, SortButtonOpensItsMenuUnderItself)
{
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Idle();
    ASSERT_TRUE(form.ToolButtonSortMode->isEnabled());
    QTest::mouseClick(form.ToolButtonSortMode, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.PopupMenuSort->isVisible(); }, 2000));
    const QPoint expected =
        form.ToolButtonSortMode->mapToGlobal(QPoint(0, form.ToolButtonSortMode->height()));
    EXPECT_EQ(form.PopupMenuSort->pos(), expected);
    QStringList captions;
    for (QAction* action : form.PopupMenuSort->actions())
        captions.append(StripAccessKey(action->text()));
    EXPECT_EQ(captions, (QStringList{"Group by Category", "Group by Deadline", "Group by Priority",
                                     "Sort by Task Title", "Sort by Most Recently Created"}));
    form.PopupMenuSort->close();
}

TEST_F(AppTest, PrintingUsesThePrintPageAndRebuildsTheScreenPage)
{
    WriteSimpleList(path("Work.qmtd"), 40, 1);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    ASSERT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("act:")));
    const QString pdf = path("out.pdf");
    form.Printer().setOutputFormat(QPrinter::PdfFormat);
    form.Printer().setOutputFileName(pdf);

    QString pageAtDialog;
    int pagesAtDialog = 0;
    form.BeforePrintDialog = [&] {
        pageAtDialog = form.taskViewer().documentSource();
        pagesAtDialog = form.taskViewer().printerPageCount(&form.Printer());
    };
    Prompts::setNextPrint(true);
    form.DoPrint();
    EXPECT_FALSE(pageAtDialog.contains(QStringLiteral("act:")));
    EXPECT_TRUE(pageAtDialog.contains(QStringLiteral("Open task 39")));
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("act:")));
    EXPECT_GE(pagesAtDialog, 2);
    EXPECT_EQ(PdfPageCount(pdf), pagesAtDialog);

    // Cancelled: nothing printed, the screen page is back.
    QFile::remove(pdf);
    Prompts::setNextPrint(false);
    form.DoPrint();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("act:")));

    // A failure on the way still brings the screen page back, and the error goes on.
    form.BeforePrintDialog = [] { throw std::runtime_error("printer on fire"); };
    EXPECT_THROW(form.DoPrint(), std::runtime_error);
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("act:")));
}

TEST_F(AppTest, PrintingAShortListOffersOnePage)
{
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    const QString pdf = path("short.pdf");
    form.Printer().setOutputFormat(QPrinter::PdfFormat);
    form.Printer().setOutputFileName(pdf);
    Prompts::setNextPrint(true);
    form.DoPrint();
    EXPECT_EQ(form.Printer().fromPage(), 1);
    EXPECT_EQ(form.Printer().toPage(), 1);
    EXPECT_EQ(PdfPageCount(pdf), 1);
}

TEST_F(AppTest, FontKeepsFaceAndSizeOnly)
{
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();

    Prompts::setNextFont(std::nullopt);
    form.ActionSetFontExecute();
    EXPECT_EQ(DisplayFontName, QStringLiteral("Verdana"));
    EXPECT_EQ(DisplayFontSize, 10);

    QFont chosen(QStringLiteral("DejaVu Serif"), 14, QFont::Bold, true);
    Prompts::setNextFont(chosen);
    form.ActionSetFontExecute();
    EXPECT_EQ(DisplayFontName, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(DisplayFontSize, 14);
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("DejaVu Serif")));

    // Closing stores the font, the next start uses it.
    Stop();
    DisplayFontName = DefaultDisplayFontName;
    DisplayFontSize = DefaultDisplayFontSize;
    Start();
    EXPECT_EQ(DisplayFontName, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(DisplayFontSize, 14);
}

TEST_F(AppTest, CopyFollowsTheSelection)
{
    WriteSimpleList(path("Work.qmtd"), 3, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Idle();
    EXPECT_FALSE(form.ActionCopySelectedText->isEnabled());

    QWidget* viewport = form.taskViewer().viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(viewport, QPoint(200, 60));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(200, 60));
    ASSERT_GT(form.taskViewer().selectionLength(), 0);
    Idle();
    ASSERT_TRUE(form.ActionCopySelectedText->isEnabled());
    QApplication::clipboard()->setText(QStringLiteral("old"));
    form.ActionCopySelectedText->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), form.taskViewer().selectedText());
    EXPECT_NE(QApplication::clipboard()->text(), QStringLiteral("old"));
}

TEST_F(AppTest, CtrlASelectsThePage)
{
    WriteSimpleList(path("Work.qmtd"), 3, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.taskViewer().setFocus();
    EXPECT_FALSE(form.taskViewer().hasSelectedText());
    QTest::keyClick(&form.taskViewer(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form.taskViewer().selectedText(), form.taskViewer().documentText());
    Idle();
    EXPECT_TRUE(form.ActionCopySelectedText->isEnabled());
    // Edit > Select All does the same after a click dropped the selection.
    form.taskViewer().clearSelection();
    form.ActionSelectAll->trigger();
    EXPECT_EQ(form.taskViewer().selectedText(), form.taskViewer().documentText());
}

TEST_F(AppTest, AButtonsHintLeavesTheStatusBarWithThePointer)
{
    WriteSimpleList(path("Work.qmtd"), 40, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    HtmlView& view = form.taskViewer();
    ASSERT_TRUE(view.verticalScrollBar()->isVisible());
    QPoint button(-1, -1);
    for (int y = 0; y < view.viewport()->height() && button.x() < 0; y += 2) {
        for (int x = view.viewport()->width() - 1; x >= 0; x -= 2) {
            if (view.linkAt(QPoint(x, y)).startsWith(QStringLiteral("act:done"))) {
                button = QPoint(x, y);
                break;
            }
        }
    }
    ASSERT_GE(button.x(), 0);
    QTest::mouseMove(view.viewport(), button);
    EXPECT_EQ(form.statusBar()->currentMessage(), QStringLiteral("Mark this task Complete"));
    // Straight from the button onto the scroll bar beside it.
    QScrollBar* bar = view.verticalScrollBar();
    QTest::mouseMove(bar, QPoint(bar->width() / 2, 10));
    EXPECT_EQ(form.statusBar()->currentMessage(), QString());
}

TEST_F(AppTest, CloseAndRestartFindsEverythingAsLeft)
{
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    WriteSimpleList(path("Home.qmtd"), 2, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    form.OpenToDoList(path("Home.qmtd"), true);
    form.ActionSortCaDePrTiCr->trigger();
    form.ActionShowCompleted->trigger();
    form.ActionExit->trigger();
    FWindows.reset();
    EXPECT_EQ(CurrentListFileName(), QString()) << "the list file is closed with the window";

    RecentFiles.clear();
    LastOpenFileName.clear();
    TFormMain& again = Start();
    EXPECT_EQ(CurrentListFileName(), path("Home.qmtd"));
    EXPECT_EQ(RecentFiles, (QStringList{path("Home.qmtd"), path("Work.qmtd")}));
    EXPECT_EQ(again.TaskSortModeField(), smCaDePrTiCr);
    EXPECT_EQ(again.TaskViewFilter(), tvfUncompleted) << "the filter is not stored";
    EXPECT_TRUE(again.ActionSortCaDePrTiCr->isChecked());
}

TEST_F(AppTest, StatesAreRefreshedWhenTheEventLoopWaits)
{
    WriteSimpleList(path("Work.qmtd"), 2, 1);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    ASSERT_TRUE(form.ActionShowUncompleted->isChecked());
    form.SetTaskViewFilter(tvfCompleted);
    EXPECT_TRUE(form.ActionShowUncompleted->isChecked()) << "not before the application is idle";
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(form.ActionShowCompleted->isChecked());
    EXPECT_FALSE(form.ActionShowUncompleted->isChecked());
    EXPECT_FALSE(form.ToolButtonSortMode->isEnabled());
}
