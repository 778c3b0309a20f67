#pragma once
// A list file in a temporary folder, opened into the test window, with the task operations on it,
// a clock fixed to a known moment, a known short date format and scripted prompts.

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/list_file_save.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"
#include "tasks/task_operations.h"
#include "tasks/todo_popupdatepick.h"
#include "tasks/todo_taskeditform.h"
#include "test_host.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

struct Task {
    QString title;
    QString category;
    double created = 0;
    double deadline = NullDate;
    int priority = 1;
    double completed = NullDate;
    QString details;
    friend bool operator==(const Task&, const Task&) = default;
};

void PrintTo(const Task& task, std::ostream* os);

inline double At(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return EncodeDateTime(QDate(y, m, d), QTime(h, min, s, ms));
}

class TaskOpsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void setNow(double value) { now = DecodeDateTime(value); }
    // Appends the tasks through the store; completed ones are completed at their time.
    void addTasks(const std::vector<Task>& tasks);
    // The task at a record index of the table's current order.
    Task taskAt(int recIndex);
    // Every task, in the order they were added; the table's order stays.
    std::vector<Task> allTasks();
    // The record index of the one task with this title in the table's current order.
    int recOf(const QString& title);
    // The page as the window would show it, in the host's order and view.
    void showPage() { host->LoadTaskView(false); }

    QByteArray fileBytes() const;
    // Sets the list file's modification time far into the past, so that a later write shows.
    void ageFile();
    bool fileWrittenSinceAged() const;

    // Answers the next uses of the edit dialog: `fill` runs while the dialog stands shown.
    void answerEdit(std::function<void(TFormTaskEdit&)> fill, bool ok);
    void answerDate(std::function<void(TFormPopupDatePick&)> fill, bool ok);

    QDateTime now;
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<TestTaskHost> host;
    std::unique_ptr<TaskOperations> ops;
    QStringList opened;
    int editShows = 0;
    int dateShows = 0;
};
