#include "task_ops_fixture.h"

void PrintTo(const Task& t, std::ostream* os)
{
    *os << "{" << t.title.toStdString() << " | " << t.category.toStdString() << " | created "
        << DecodeDateTime(t.created).toString(Qt::ISODateWithMs).toStdString() << " | deadline "
        << (t.deadline == NullDate ? std::string("none")
                                   : DecodeDateTime(t.deadline).toString(Qt::ISODate).toStdString())
        << " | prio " << t.priority << " | completed "
        << (t.completed == NullDate
                ? std::string("no")
                : DecodeDateTime(t.completed).toString(Qt::ISODateWithMs).toStdString())
        << " | " << t.details.toStdString() << "}";
}

void TaskOpsTest::SetUp()
{
    ensureTestApp();
    Prompts::reset();
    Prompts::setScripted(true);
    SetShortDateFormat(QStringLiteral("yyyy-MM-dd"));
    now = QDateTime(QDate(2026, 3, 15), QTime(10, 0));
    SetClock([this] { return now; });
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath(QStringLiteral("list.qmtd"));
    host = std::make_unique<TestTaskHost>();
    OpenTaskTable(path, host->table);
    ops = std::make_unique<TaskOperations>(*host);
    ops->openUrl = [this](const QString& url) { opened.append(url); };
}

void TaskOpsTest::TearDown()
{
    TFormTaskEdit::TestAnswer = nullptr;
    TFormPopupDatePick::TestAnswer = nullptr;
    SetSaveFaultHook({});
    ops.reset();
    host.reset();
    SetClock({});
    SetShortDateFormat({});
    Prompts::reset();
}

void TaskOpsTest::addTasks(const std::vector<Task>& tasks)
{
    const QDateTime saved = now;
    TaskTable& table = host->table;
    for (const Task& t : tasks) {
        AppendTask(table, t.title, t.category, t.created, t.deadline, t.priority, t.details);
        if (t.completed != NullDate) {
            setNow(t.completed);
            MarkTaskCompleted(table, recOf(t.title));
            now = saved;
        }
    }
}

Task TaskOpsTest::taskAt(int recIndex)
{
    TaskTable& table = host->table;
    table.SetRecNo(recIndex);
    Task t;
    t.title = table.AsString(TaskField::Title);
    t.category = table.AsString(TaskField::Category);
    t.created = table.AsDateTime(TaskField::Created);
    t.deadline = table.AsDateTime(TaskField::CompleteBy);
    t.priority = static_cast<int>(table.AsInteger(TaskField::Priority));
    t.completed = table.AsDateTime(TaskField::Completed);
    t.details = table.AsString(TaskField::Details);
    return t;
}

std::vector<Task> TaskOpsTest::allTasks()
{
    TaskTable& table = host->table;
    const QString order = table.IndexName();
    table.SetIndexName(QString()); // insertion order
    std::vector<Task> tasks;
    for (int i = 1; i <= table.RecordCount(); ++i)
        tasks.push_back(taskAt(i));
    table.SetIndexName(order);
    return tasks;
}

int TaskOpsTest::recOf(const QString& title)
{
    TaskTable& table = host->table;
    int found = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        if (table.AsString(TaskField::Title) == title) {
            EXPECT_EQ(found, 0) << "two tasks titled " << title.toStdString();
            found = table.RecNo();
        }
    }
    EXPECT_NE(found, 0) << "no task titled " << title.toStdString();
    return found;
}

QByteArray TaskOpsTest::fileBytes() const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void TaskOpsTest::ageFile()
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)),
                                 QFileDevice::FileModificationTime));
}

bool TaskOpsTest::fileWrittenSinceAged() const
{
    return QFileInfo(path).lastModified().date().year() > 2001;
}

void TaskOpsTest::answerEdit(std::function<void(TFormTaskEdit&)> fill, bool ok)
{
    TFormTaskEdit::TestAnswer = [this, fill, ok](TFormTaskEdit& form) {
        ++editShows;
        if (fill)
            fill(form);
        return ok;
    };
}

void TaskOpsTest::answerDate(std::function<void(TFormPopupDatePick&)> fill, bool ok)
{
    TFormPopupDatePick::TestAnswer = [this, fill, ok](TFormPopupDatePick& form) {
        ++dateShows;
        if (fill)
            fill(form);
        return ok;
    };
}
