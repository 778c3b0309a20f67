// File > Import Tasks... and Export Tasks... in the window.

#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "shared/datetime.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QStatusBar>

namespace {

QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

} // namespace

TEST_F(AppTest, ImportAndExportNeedAList)
{
    TFormMain& form = Start();
    EXPECT_FALSE(form.ActionImportTasks->isEnabled());
    EXPECT_FALSE(form.ActionExportTasks->isEnabled());
    WriteSimpleList(path("Work.qmtd"), 2, 1);
    ASSERT_TRUE(form.OpenToDoList(path("Work.qmtd"), true));
    Idle();
    EXPECT_TRUE(form.ActionImportTasks->isEnabled());
    EXPECT_TRUE(form.ActionExportTasks->isEnabled());
    EXPECT_EQ(form.ActionImportTasks->text().remove(u'&'), "Import Tasks...");
    EXPECT_EQ(form.ActionExportTasks->text().remove(u'&'), "Export Tasks...");
    EXPECT_TRUE(form.MenuFile->actions().contains(form.ActionImportTasks));
}

TEST_F(AppTest, ExportWritesTheChosenFormatAndKeepsThePageWorking)
{
    WriteList(path("Work.qmtd"), {{"Pay rent", "Home", 0}, {"Buy milk", "", 1}});
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    const QString order = form.ClientDataSetMain.IndexName();
    // Without an extension the file gets the one of the file type chosen (iCalendar first).
    Prompts::setNextFileName(path("tasks"));
    form.ActionExportTasks->trigger();
    EXPECT_TRUE(Content(path("tasks.ics")).startsWith("BEGIN:VCALENDAR\r\n"));
    EXPECT_TRUE(Content(path("tasks.ics")).contains("SUMMARY:Pay rent\r\n"));
    EXPECT_EQ(form.statusBar()->currentMessage(), "Exported 2 tasks to tasks.ics.");
    EXPECT_EQ(Prompts::shown().size(), 1); // the file dialog only
    // The table is still in the page's order, so the page's record indexes still hold.
    EXPECT_EQ(form.ClientDataSetMain.IndexName(), order);

    Prompts::setNextFileName(path("sheet.csv"));
    form.ActionExportTasks->trigger();
    EXPECT_TRUE(Content(path("sheet.csv")).contains("Pay rent,Home,"));
    // Cancelled: nothing written.
    Prompts::setNextFileName(QString());
    form.ActionExportTasks->trigger();
}

TEST_F(AppTest, TodoTxtExportSaysTheDetailsStayedBehind)
{
    WriteSimpleList(path("Work.qmtd"), 1, 0); // with details
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    AppendTask(form.ClientDataSetMain, "No notes", "", EncodeDateTime(QDate(2026, 3, 1)), NullDate,
               1, "");
    Prompts::setNextFileName(path("todo.txt"));
    form.ActionExportTasks->trigger();
    ASSERT_FALSE(Prompts::shown().isEmpty());
    EXPECT_EQ(Prompts::shown().back().kind, Prompts::Kind::Information);
    EXPECT_EQ(Prompts::shown().back().text,
              "Exported 2 tasks to todo.txt. todo.txt has no place for details: the details of 1 "
              "task are not in the file.");
}

TEST_F(AppTest, ImportAddsTheTasksAndSaysWhatItSkipped)
{
    WriteSimpleList(path("Work.qmtd"), 1, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    Write(path("calendar.ics"),
          "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:a1\r\nSUMMARY:From the "
          "calendar\r\nDUE;VALUE=DATE:20260320\r\nEND:VTODO\r\nBEGIN:VEVENT\r\nUID:e1\r\n"
          "SUMMARY:Meeting\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    Prompts::setNextFileName(path("calendar.ics"));
    form.ActionImportTasks->trigger();
    ASSERT_FALSE(Prompts::shown().isEmpty());
    EXPECT_EQ(Prompts::shown().back().caption, "Information");
    EXPECT_EQ(Prompts::shown().back().text,
              "Imported 1 task from calendar.ics; skipped 1: 1 event (VEVENT).");
    EXPECT_TRUE(form.taskViewer().documentSource().contains("From the calendar"));
    EXPECT_EQ(form.ClientDataSetMain.RecordCount(), 2);
    // On disk at once, as every change.
    const QString added = QStringLiteral("From the calendar");
    EXPECT_TRUE(Content(path("Work.qmtd"))
                    .contains(QByteArray(reinterpret_cast<const char*>(added.utf16()),
                                         added.size() * 2))); // the list keeps UTF-16 texts
    // Again: nothing doubles.
    Prompts::setNextFileName(path("calendar.ics"));
    form.ActionImportTasks->trigger();
    EXPECT_EQ(Prompts::shown().back().text,
              "Imported 0 tasks from calendar.ics; skipped 2: 1 event (VEVENT), 1 already in the "
              "list.");
    EXPECT_EQ(form.ClientDataSetMain.RecordCount(), 2);
}

TEST_F(AppTest, ABrokenSourceIsRefusedWithItsLine)
{
    WriteSimpleList(path("Work.qmtd"), 1, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    const QByteArray before = Content(path("Work.qmtd"));
    Write(path("broken.csv"), "Title,Deadline\r\nok,2026-01-01\r\nbad,tomorrow\r\n");
    Prompts::setNextFileName(path("broken.csv"));
    form.ActionImportTasks->trigger();
    ASSERT_FALSE(Prompts::shown().isEmpty());
    EXPECT_EQ(Prompts::shown().back().kind, Prompts::Kind::Error);
    EXPECT_EQ(Prompts::shown().back().text,
              "broken.csv line 3: Deadline \"tomorrow\" is not a date (YYYY-MM-DD, with HH:MM:SS "
              "after it for a time)");
    EXPECT_EQ(Content(path("Work.qmtd")), before);
    EXPECT_EQ(form.ClientDataSetMain.RecordCount(), 1);
    // A file whose kind its name does not tell.
    Write(path("tasks.dat"), "whatever");
    Prompts::setNextFileName(path("tasks.dat"));
    form.ActionImportTasks->trigger();
    EXPECT_EQ(Prompts::shown().back().kind, Prompts::Kind::Error);
    EXPECT_TRUE(Prompts::shown().back().text.startsWith("The format of " + path("tasks.dat")));
}
