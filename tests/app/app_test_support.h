#pragma once
// Shared set-up of the application tests: one application object for the process, a private
// settings folder and list folder per test, scripted prompts, a fixed clock and date format.

#include "app/app_windows.h"
#include "app/form_main.h"
#include "shared/todo_global.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class QWidget;

struct TestTask {
    QString title;
    QString category;
    int priority = 1;
    double deadline = NullDate;
    double completed = NullDate; // not completed
};

// Writes a list file with the given tasks without touching the recent-files state.
void WriteList(const QString& path, const std::vector<TestTask>& tasks);
// `uncompleted` plus `completed` simple tasks.
void WriteSimpleList(const QString& path, int uncompleted, int completed);

// The application object of the test process (created on first use).
void EnsureApplication();

// Runs `step` on the next modal dialog once it is up and active: exec() blocks the caller, so
// a test answers real dialogs this way.
void WhenModal(std::function<void(QWidget*)> step);
// A program's standard output (waits up to 30 s), and whether a program is on PATH.
QString RunTool(const QString& program, const QStringList& arguments);
bool HaveTool(const char* name);

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString path(const QString& name) const { return FDir.path() + QLatin1Char('/') + name; }
    QString settingsFile() const;
    // Writes values of section "Settings" as the program would.
    void StoreRecentFiles(const QStringList& files, const QString& lastOpen);
    void StoreSortMode(int mode);

    // Creates the windows as the program does, then runs one idle refresh.
    TFormMain& Start(const QString& argument = {});
    void Idle();
    // Closes and destroys the windows (the settings are written).
    void Stop();
    // Prompts shown so far, of the plain-message kind.
    QStringList Messages() const;

    QTemporaryDir FDir;
    QTemporaryDir FConfigDir;
    std::unique_ptr<TApplicationWindows> FWindows;
};
