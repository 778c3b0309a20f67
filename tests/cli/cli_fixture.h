#pragma once
// Runs qmtd's commands in this process, on a list in a temporary folder, with the clock fixed at
// 15 March 2026, 12:00.

#include "cli/cli_command.h"
#include "qt_printers.h"
#include "shared/datetime.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock([] { return QDateTime(QDate(2026, 3, 15), QTime(12, 0)); });
        ASSERT_TRUE(FDir.isValid());
        FList = FDir.filePath(QStringLiteral("list.qmtd"));
    }
    void TearDown() override { SetClock({}); }

    CliRun run(const QStringList& arguments, const CliTerminal& terminal = {})
    {
        CliRun r;
        QTextStream out(&r.out), err(&r.err);
        r.status = RunQmtd(arguments, out, err, terminal);
        return r;
    }
    // Runs a command that must succeed.
    QString ok(const QStringList& arguments, const CliTerminal& terminal = {})
    {
        const CliRun r = run(arguments, terminal);
        EXPECT_EQ(r.status, 0) << arguments.join(u' ').toStdString() << ": " << r.err.toStdString();
        return r.out;
    }
    QByteArray bytesOf(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Moves the clock, so that tasks get distinct creation and completion times.
    void at(const QDateTime& when)
    {
        SetClock([when] { return when; });
    }

    QTemporaryDir FDir;
    QString FList;
};
