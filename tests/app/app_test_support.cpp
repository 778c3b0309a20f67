#include "app_test_support.h"

#include "app/comma_text.h"
#include "app/error_handler.h"
#include "app/settings_store.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

void WriteList(const QString& path, const std::vector<TestTask>& tasks)
{
    TaskTable table;
    TdbToDoFile file(path);
    table.CreateDataSet(TaskRecordFields());
    double created = EncodeDateTime(QDate(2026, 1, 1), QTime(8, 0));
    for (const TestTask& task : tasks) {
        table.Append();
        table.SetString(table.FieldIndex(TaskField::Title), task.title);
        table.SetString(table.FieldIndex(TaskField::Category), task.category);
        table.SetDateTime(table.FieldIndex(TaskField::Created), created);
        table.SetDateTime(table.FieldIndex(TaskField::CompleteBy), task.deadline);
        table.SetInteger(table.FieldIndex(TaskField::Priority), task.priority);
        table.SetDateTime(table.FieldIndex(TaskField::Completed), task.completed);
        table.SetString(table.FieldIndex(TaskField::Details),
                        QStringLiteral("Details of ") + task.title);
        created += 1.0 / 24;
    }
    file.WriteDataSet(table);
}

void WriteSimpleList(const QString& path, int uncompleted, int completed)
{
    std::vector<TestTask> tasks;
    for (int i = 0; i < uncompleted; ++i)
        tasks.push_back({QStringLiteral("Open task %1").arg(i), QStringLiteral("Home"), i % 3,
                         EncodeDateTime(QDate(2026, 3, 1 + i % 20))});
    for (int i = 0; i < completed; ++i)
        tasks.push_back({QStringLiteral("Done task %1").arg(i), QStringLiteral("Work"), 1, NullDate,
                         EncodeDateTime(QDate(2026, 2, 1 + i % 20), QTime(9, 0))});
    WriteList(path, tasks);
}

void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "app_test";
    static char* argv[] = {name, nullptr};
    new TQuillmarkApplication(argc, argv);
}

void WhenModal(std::function<void(QWidget*)> step)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || QApplication::activeWindow() != modal)
            return;
        timer->stop();
        timer->deleteLater();
        step(modal);
    });
    timer->start();
}

QString RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool HaveTool(const char* name)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

void AppTest::SetUp()
{
    ASSERT_TRUE(FDir.isValid());
    ASSERT_TRUE(FConfigDir.isValid());
    qputenv("XDG_CONFIG_HOME", FConfigDir.path().toLocal8Bit());
    EnsureApplication();
    RecentFiles.clear();
    LastOpenFileName.clear();
    DisplayFontName = DefaultDisplayFontName;
    DisplayFontSize = DefaultDisplayFontSize;
    SetClock([] { return QDateTime(QDate(2026, 3, 10), QTime(12, 0)); });
    SetShortDateFormat(QStringLiteral("yyyy-MM-dd"));
    Prompts::reset();
    Prompts::setScripted(true);
}

void AppTest::TearDown()
{
    FWindows.reset();
    Prompts::reset();
    SetClock({});
    SetShortDateFormat({});
}

QString AppTest::settingsFile() const
{
    return FConfigDir.path() + QStringLiteral("/Quillmark/Quillmark ToDo.conf");
}

void AppTest::StoreRecentFiles(const QStringList& files, const QString& lastOpen)
{
    SettingsStore store;
    store.WriteString(QStringLiteral("Settings"), QStringLiteral("RecentOpenFiles"),
                      CommaText(files));
    store.WriteString(QStringLiteral("Settings"), QStringLiteral("LastOpenFile"), lastOpen);
}

void AppTest::StoreSortMode(int mode)
{
    SettingsStore store;
    store.WriteInteger(QStringLiteral("Settings"), QStringLiteral("FTaskSortMode"), mode);
}

TFormMain& AppTest::Start(const QString& argument)
{
    FWindows = std::make_unique<TApplicationWindows>(CreateApplicationWindows(argument));
    Idle();
    return *FWindows->FormMain;
}

void AppTest::Idle()
{
    FWindows->FormMain->ApplicationIdle();
}

void AppTest::Stop()
{
    FWindows->FormMain->close();
    FWindows.reset();
}

QStringList AppTest::Messages() const
{
    QStringList result;
    for (const Prompts::Record& record : Prompts::shown())
        if (record.kind == Prompts::Kind::Message)
            result.append(record.text);
    return result;
}
