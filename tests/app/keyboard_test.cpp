// The page worked from the keyboard in the real window: the current task, the keys that act on
// it, what a screen reader is told, and a whole session without the mouse.

#include "app_test_support.h"
#include "htmlview/accessibility.h"
#include "htmlview/html_view.h"
#include "shared/datetime.h"
#include "store/datapacket_reader.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"
#include "tasks/tagged_menu.h"
#include "tasks/task_operations.h"
#include "tasks/todo_taskeditform.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// The tasks as the list file holds them, in file order: "title" or "title (done)".
QStringList TasksInFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<unreadable>")};
    TaskTable table;
    DataPacketReader::Read(file.readAll().mid(SignatureSchema2.size()), table, path);
    QStringList tasks;
    for (table.First(); !table.Eof(); table.Next()) {
        const bool done = table.AsDateTime(TaskField::Completed) != NullDate;
        tasks.append(table.AsString(TaskField::Title) +
                     (done ? QStringLiteral(" (done)") : QString()));
    }
    return tasks;
}

// Keys to the widget that has the focus, as the keyboard would send them; then the idle
// refresh that the event loop runs before the next key.
void IdleRefresh()
{
    if (auto* form = qobject_cast<TFormMain*>(QApplication::activeWindow()))
        form->ApplicationIdle();
}
void Keys(const QString& text)
{
    QWidget* target = QApplication::focusWidget();
    if (!target) {
        ADD_FAILURE() << "no widget has the focus for " << text.toStdString();
        return;
    }
    QTest::keyClicks(target, text);
    IdleRefresh();
}
void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    if (!target) {
        ADD_FAILURE() << "no widget has the focus for key " << QTest::toString(key);
        return;
    }
    QTest::keyClick(target, key, modifiers);
    IdleRefresh();
}

class KeyboardTest : public AppTest {
protected:
    void TearDown() override
    {
        TFormTaskEdit::TestAnswer = nullptr;
        AppTest::TearDown();
    }

    TFormMain& StartFocused(const QString& list)
    {
        StoreRecentFiles({list}, list);
        TFormMain& form = Start();
        ShowFocused(form);
        return form;
    }
    void ShowFocused(TFormMain& form)
    {
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        form.TaskViewer->setFocus();
        QApplication::processEvents();
        Idle();
    }
    TaskOperations& Tasks() { return *FWindows->Tasks; }
    QString CurrentTitle()
    {
        const int recIndex = Tasks().CurrentRecIndex();
        if (recIndex <= 0)
            return {};
        TaskTable& table = FWindows->FormMain->ClientDataSetMain;
        table.SetRecNo(recIndex);
        return table.AsString(TaskField::Title);
    }
    // Where a menu for the current task's button belongs: under the button.
    QPoint UnderButton(const char* action)
    {
        HtmlView& viewer = *FWindows->FormMain->TaskViewer;
        const QRect button = viewer.linkRect(
            QStringLiteral("%1/%2").arg(QLatin1String(action)).arg(Tasks().CurrentRecIndex()));
        return viewer.viewport()->mapToGlobal(button.bottomLeft());
    }
};

TEST_F(KeyboardTest, KeysActOnTheCurrentTask)
{
    WriteList(path("Work.qmtd"), {{"Alpha", "Home", 1, EncodeDateTime(QDate(2026, 3, 1))},
                                  {"Bravo", "Home", 1, EncodeDateTime(QDate(2026, 3, 2))},
                                  {"Charlie", "Work", 0, EncodeDateTime(QDate(2026, 3, 3))},
                                  {"Delta", "", 2}});
    TFormMain& form = StartFocused(path("Work.qmtd"));
    ASSERT_EQ(CurrentTitle(), QStringLiteral("Alpha"));
    HtmlView& viewer = *form.TaskViewer;

    struct Step {
        const char* what;
        std::function<void()> press;
        const char* current;
        QStringList file;
    };
    const QStringList start = {"Alpha", "Bravo", "Charlie", "Delta"};
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return [k, m] { Key(k, m); };
    };
    const Step steps[] = {
        {"Down", key(Qt::Key_Down), "Bravo", start},
        {"Space completes; the next task becomes current",
         key(Qt::Key_Space),
         "Charlie",
         {"Alpha", "Bravo (done)", "Charlie", "Delta"}},
        {"End", key(Qt::Key_End), "Delta", {"Alpha", "Bravo (done)", "Charlie", "Delta"}},
        {"K", key(Qt::Key_K), "Charlie", {"Alpha", "Bravo (done)", "Charlie", "Delta"}},
        {"Delete, answered No",
         [] {
             Prompts::setNextConfirm(false);
             Key(Qt::Key_Delete);
         },
         "Charlie",
         {"Alpha", "Bravo (done)", "Charlie", "Delta"}},
        {"Delete, answered Yes",
         [] {
             Prompts::setNextConfirm(true);
             Key(Qt::Key_Delete);
         },
         "Delta",
         {"Alpha", "Bravo (done)", "Delta"}},
        {"Home", key(Qt::Key_Home), "Alpha", {"Alpha", "Bravo (done)", "Delta"}},
        {"F2 edits",
         [] {
             TFormTaskEdit::TestAnswer = [](TFormTaskEdit& dialog) {
                 dialog.eTitle->setText(QStringLiteral("Alpha 2"));
                 return true;
             };
             Key(Qt::Key_F2);
         },
         "Alpha 2",
         {"Alpha 2", "Bravo (done)", "Delta"}},
        {"Enter edits too; cancelled",
         [] {
             TFormTaskEdit::TestAnswer = [](TFormTaskEdit& dialog) {
                 dialog.eTitle->setText(QStringLiteral("not this"));
                 return false;
             };
             Key(Qt::Key_Return);
         },
         "Alpha 2",
         {"Alpha 2", "Bravo (done)", "Delta"}},
        {"J, then Ctrl+J is nobody's",
         [] {
             Key(Qt::Key_J);
             Key(Qt::Key_J, Qt::ControlModifier);
         },
         "Delta",
         {"Alpha 2", "Bravo (done)", "Delta"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.press();
        EXPECT_EQ(CurrentTitle(), QString::fromLatin1(step.current));
        EXPECT_EQ(TasksInFile(path("Work.qmtd")), step.file);
        EXPECT_TRUE(viewer.hasFocus());
    }

    // A: the do-again menu, at the task's button rather than at the mouse pointer.
    Key(Qt::Key_Home);
    QCursor::setPos(QPoint(1, 1));
    Key(Qt::Key_A);
    ASSERT_TRUE(Tasks().PopupMenuDoAgain->isVisible());
    EXPECT_EQ(Tasks().PopupMenuDoAgain->pos(), UnderButton("act:doagain"));
    QTest::keyClick(Tasks().PopupMenuDoAgain, Qt::Key_Down); // "Do Again Without Deadline"
    QTest::keyClick(Tasks().PopupMenuDoAgain, Qt::Key_Return);
    EXPECT_EQ(TasksInFile(path("Work.qmtd")),
              (QStringList{"Alpha 2 (done)", "Bravo (done)", "Delta", "Alpha 2"}));
    EXPECT_EQ(CurrentTitle(), QStringLiteral("Delta")) << "the next one, as it was shown";

    // Shift+F10: the more-options menu at the task; Del picks its delete item.
    Key(Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(Tasks().PopupMenuMore->isVisible());
    EXPECT_EQ(Tasks().PopupMenuMore->pos(), UnderButton("act:menu"));
    EXPECT_EQ(Tasks().DeleteThisTaskForever1->shortcut(), QKeySequence(Qt::Key_Delete))
        << "the menu shows the key";
    Prompts::setNextConfirm(true);
    QTest::keyClick(Tasks().PopupMenuMore, Qt::Key_Delete);
    EXPECT_FALSE(Tasks().PopupMenuMore->isVisible());
    EXPECT_EQ(TasksInFile(path("Work.qmtd")),
              (QStringList{"Alpha 2 (done)", "Bravo (done)", "Alpha 2"}));
    EXPECT_EQ(CurrentTitle(), QStringLiteral("Alpha 2"));

    // The Completed tab: Space undoes; Enter edits nothing there.
    form.SetTaskViewFilter(tvfCompleted);
    viewer.setFocus();
    EXPECT_FALSE(Tasks().ActionEditTask->isEnabled());
    const QString completedFirst = CurrentTitle();
    Key(Qt::Key_Return);
    EXPECT_EQ(TasksInFile(path("Work.qmtd")),
              (QStringList{"Alpha 2 (done)", "Bravo (done)", "Alpha 2"}));
    Key(Qt::Key_Space);
    EXPECT_EQ(TasksInFile(path("Work.qmtd")).count(QStringLiteral("Bravo (done)")) +
                  TasksInFile(path("Work.qmtd")).count(QStringLiteral("Alpha 2 (done)")),
              1)
        << completedFirst.toStdString() << " undone";

    // Away from the page the keys are the other widgets' own.
    form.TabSetFilter->setFocus();
    const QStringList before = TasksInFile(path("Work.qmtd"));
    Key(Qt::Key_Space);
    Key(Qt::Key_Delete);
    EXPECT_EQ(TasksInFile(path("Work.qmtd")), before);
}

TEST_F(KeyboardTest, CurrentTaskSurvivesRebuildsByIdentity)
{
    WriteList(path("Work.qmtd"), {{"Alpha", "Home", 1, EncodeDateTime(QDate(2026, 3, 1))},
                                  {"Bravo", "Home", 1, EncodeDateTime(QDate(2026, 3, 2))},
                                  {"Charlie", "Work", 0, EncodeDateTime(QDate(2026, 3, 3))}});
    TFormMain& form = StartFocused(path("Work.qmtd"));
    Key(Qt::Key_Down);
    ASSERT_EQ(CurrentTitle(), QStringLiteral("Bravo"));
    // Other orders put Bravo elsewhere; it stays current in each.
    for (QAction* order : {form.ActionSortTitle, form.ActionSortPriority, form.ActionSortCreated,
                           form.ActionSortCaDePrTiCr, form.ActionSortDeadline}) {
        order->trigger();
        EXPECT_EQ(CurrentTitle(), QStringLiteral("Bravo")) << order->objectName().toStdString();
    }
    // A new task becomes current where it lands.
    TFormTaskEdit::TestAnswer = [](TFormTaskEdit& dialog) {
        dialog.eTitle->setText(QStringLiteral("Aardvark"));
        return true;
    };
    form.ActionSortTitle->trigger();
    form.ActionToDoNewItem->trigger();
    EXPECT_EQ(CurrentTitle(), QStringLiteral("Aardvark"));
    // Printing rebuilds the page twice and keeps it.
    Prompts::setNextPrint(false);
    form.DoPrint();
    EXPECT_EQ(CurrentTitle(), QStringLiteral("Aardvark"));
    // Another list starts at its first task.
    WriteList(path("Other.qmtd"), {{"Zulu", "", 1}, {"Yankee", "", 1}});
    form.OpenToDoList(path("Other.qmtd"), true);
    EXPECT_EQ(form.TaskViewer->currentRowGroup(), 0);
}

TEST_F(KeyboardTest, MenusAndHelpShowTheKeys)
{
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    TFormMain& form = StartFocused(path("Work.qmtd"));
    ASSERT_NE(form.MenuCurrentTask, nullptr);
    QStringList shown;
    for (QAction* action : form.MenuCurrentTask->actions())
        shown.append(action->text().remove(QLatin1Char('&')) + QLatin1Char('\t') +
                     action->shortcut().toString(QKeySequence::NativeText));
    EXPECT_EQ(shown,
              (QStringList{"Edit Task\tEnter", "Mark Task Complete\tSpace",
                           "Mark Task Uncomplete\tSpace", "Do Task Again\tA",
                           "More Task Options\tShift+F10", "Delete This Task Forever\tDel"}));
    // Every key of the page is in the help's table, and none is a key of the window's commands.
    QFile help(QStringLiteral(":/help/index.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll());
    QList<QKeySequence> windowKeys;
    for (QAction* action : form.actions())
        windowKeys.append(action->shortcuts());
    for (QAction* action : Tasks().CurrentTaskActions()) {
        for (const QKeySequence& key : action->shortcuts()) {
            EXPECT_TRUE(text.contains(
                QStringLiteral("<kbd>%1</kbd>").arg(key.toString(QKeySequence::NativeText))))
                << key.toString().toStdString();
            EXPECT_FALSE(windowKeys.contains(key)) << key.toString().toStdString();
        }
        EXPECT_EQ(action->shortcutContext(), Qt::WidgetShortcut);
    }
    for (const char* key : {"Up", "Down", "K", "J", "Home", "End", "PgUp", "PgDown", "Tab",
                            "Shift+Tab", "Menu", "F2", "Return"})
        EXPECT_TRUE(text.contains(QStringLiteral("<kbd>%1</kbd>").arg(QLatin1String(key)))) << key;
    EXPECT_FALSE(windowKeys.contains(QKeySequence(Qt::Key_Slash))) << "/ is left to the filter";
}

// --- what a screen reader is told ---------------------------------------------------------

std::vector<QString>* focusNames = nullptr;
void RecordFocus(QAccessibleEvent* event)
{
    if (focusNames && event->type() == QAccessible::Focus && event->accessibleInterface())
        focusNames->push_back(event->accessibleInterface()->text(QAccessible::Name));
}

TEST_F(KeyboardTest, AccessibleTreeOfASmallList)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    WriteList(path("Work.qmtd"), {{"Buy milk", "Home", 0, EncodeDateTime(QDate(2026, 3, 10))},
                                  {"File taxes", "", 2, EncodeDateTime(QDate(2026, 3, 1))},
                                  {"Read book", "Leisure", 1}});
    TFormMain& form = StartFocused(path("Work.qmtd"));
    std::vector<QString> focused;
    focusNames = &focused;
    htmlview::setAccessibleEventSink(RecordFocus);
    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(form.TaskViewer);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->role(), QAccessible::Document);
    EXPECT_EQ(page->text(QAccessible::Name), QStringLiteral("Task list"));
    ASSERT_EQ(page->childCount(), 3);
    const QStringList names = {
        "File taxes; no category; deadline Sunday, 1 March 2026, overdue; low priority",
        "Buy milk; category Home; deadline Tuesday, 10 March 2026, due today; high priority",
        "Read book; category Leisure; no deadline; normal priority"};
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* row = page->child(i);
        EXPECT_EQ(row->role(), QAccessible::Row);
        EXPECT_EQ(row->text(QAccessible::Name), names[i]);
        ASSERT_NE(row->actionInterface(), nullptr);
        EXPECT_EQ(row->actionInterface()->actionNames().mid(0, 4),
                  (QStringList{"Edit", "Complete", "Do again", "More"}));
        ASSERT_EQ(row->childCount(), 4) << "its four buttons";
        EXPECT_EQ(row->child(0)->role(), QAccessible::Link);
        EXPECT_EQ(row->child(0)->text(QAccessible::Name), QStringLiteral("Edit this task"));
        EXPECT_TRUE(row->child(1)->text(QAccessible::Description).startsWith("act:done/"));
    }
    EXPECT_EQ(page->child(2)->text(QAccessible::Description),
              QStringLiteral("Details of Read book"));

    // Moving tells the reader; its Complete action completes that task.
    Key(Qt::Key_Down);
    EXPECT_EQ(focused.back(), names[1]);
    page->child(2)->actionInterface()->doAction(QStringLiteral("Complete"));
    QTest::qWait(50);
    EXPECT_EQ(TasksInFile(path("Work.qmtd")),
              (QStringList{"Buy milk", "File taxes", "Read book (done)"}));
    EXPECT_EQ(page->childCount(), 2);
    htmlview::setAccessibleEventSink(nullptr);
    focusNames = nullptr;
    QLocale::setDefault(QLocale::system());
}

// --- a whole session without the mouse ----------------------------------------------------

TEST_F(KeyboardTest, AWholeSessionWithoutTheMouse)
{
    if (!HaveTool("pdfinfo") || !HaveTool("pdftotext"))
        GTEST_SKIP() << "pdfinfo and pdftotext (poppler-utils) are not installed";
    Prompts::setScripted(false); // every dialog is the real one, answered by keys
    TFormMain& form = Start();
    ShowFocused(form);
    const QString list = path("Chores");
    const QString pdf = path("Chores.pdf");

    // Ctrl+N, the name typed into the save dialog, Enter.
    WhenModal([&](QWidget* dialog) {
        ASSERT_TRUE(qobject_cast<QFileDialog*>(dialog));
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setFocus();
        Keys(list);
        Key(Qt::Key_Return);
    });
    Key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(CurrentListFileName(), list + ListFileExtension);
    // The offscreen platform activates every window it shows, the completion list included, and
    // gives nothing back when one hides; a window manager hands the activation back to the main
    // window, where Qt puts the focus back on the widget that had it.
    const auto backToWindow = [&form] {
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        IdleRefresh();
    };
    backToWindow();
    form.TaskViewer->setFocus();

    // Three tasks: F9, a title over the proposed one, Ctrl+Enter.
    for (const char* title : {"Water plants", "Pay rent", "Call mum"}) {
        WhenModal([title](QWidget*) {
            Keys(QString::fromLatin1(title)); // the proposed title is selected
            Key(Qt::Key_Return, Qt::ControlModifier);
        });
        Key(Qt::Key_F9);
        backToWindow();
    }
    const QString file = list + ListFileExtension;
    EXPECT_EQ(TasksInFile(file), (QStringList{"Water plants", "Pay rent", "Call mum"}));
    EXPECT_EQ(CurrentTitle(), QStringLiteral("Call mum")) << "the new task is current";

    // Move and complete; undo it from the Completed tab; delete one.
    ASSERT_TRUE(form.TaskViewer->hasFocus()) << "the page has the focus back after the dialog";
    Key(Qt::Key_Home);
    Key(Qt::Key_Down);
    const QString second = CurrentTitle();
    Key(Qt::Key_Space);
    EXPECT_TRUE(TasksInFile(file).contains(second + QStringLiteral(" (done)")));
    // The focus chain runs display-order button (when enabled), page, tab strip: Shift+Tab from
    // the page (no link marked) reaches the tabs, Tab comes back.
    const auto toTabs = [&form] {
        for (int i = 0; i < 3 && !form.TabSetFilter->hasFocus(); ++i)
            Key(Qt::Key_Backtab, Qt::ShiftModifier);
    };
    const auto toPage = [&form] {
        for (int i = 0; i < 3 && !form.TaskViewer->hasFocus(); ++i)
            Key(Qt::Key_Tab);
    };
    toTabs();
    ASSERT_TRUE(form.TabSetFilter->hasFocus());
    Key(Qt::Key_Right);
    ASSERT_EQ(form.TaskViewFilter(), tvfCompleted);
    toPage();
    ASSERT_TRUE(form.TaskViewer->hasFocus());
    Key(Qt::Key_Space);
    EXPECT_FALSE(TasksInFile(file).join(' ').contains(QStringLiteral("(done)")));
    toTabs();
    Key(Qt::Key_Left);
    toPage();
    ASSERT_EQ(form.TaskViewFilter(), tvfUncompleted);
    ASSERT_TRUE(form.TaskViewer->hasFocus());
    Key(Qt::Key_End);
    const QString last = CurrentTitle();
    WhenModal([](QWidget*) { Key(Qt::Key_Y); }); // "Yes" in the confirmation
    Key(Qt::Key_Delete);
    backToWindow();
    EXPECT_EQ(TasksInFile(file).size(), 2);
    EXPECT_FALSE(TasksInFile(file).contains(last));

    // Print to PDF: Alt+F, P, the PDF entry, the file name, Enter.
    WhenModal([&](QWidget* dialog) {
        ASSERT_TRUE(qobject_cast<QPrintDialog*>(dialog));
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
        ASSERT_NE(printers, nullptr);
        printers->setFocus();
        Key(Qt::Key_End);
        ASSERT_EQ(printers->currentText(), QStringLiteral("Print to File (PDF)"));
        dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->setFocus();
        Key(Qt::Key_A, Qt::ControlModifier);
        Keys(pdf);
        Key(Qt::Key_Return);
    });
    Key(Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_P);
    ASSERT_TRUE(QFile::exists(pdf)) << "the print dialog ran inside the command";
    EXPECT_TRUE(
        RunTool(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression("Pages:\\s+1\\n")));
    const QString text = RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    for (const QString& title : TasksInFile(file))
        EXPECT_TRUE(text.contains(title)) << title.toStdString();
    EXPECT_FALSE(text.contains(last));
    EXPECT_TRUE(form.TaskViewer->documentSource().contains(QStringLiteral("act:")));
}

} // namespace
