#pragma once
// A list in a temporary folder holding every kind of value the formats carry, in the time zone
// of Berlin (so that summer and winter times differ from UTC by two hours and one).

#include "exchange/exchange.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

double At(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0);

// Reads a fixture from tests/data/exchange.
QByteArray Fixture(const QString& name);

class ExchangeFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens (creating) a list in the folder; the store holds one list at a time.
    void open(const QString& name);
    // The five tasks of the sample list: see exchange_fixture.cpp.
    void fillSample();
    // The tasks in insertion order.
    std::vector<TaskEntry> tasks();
    QByteArray listBytes() const;

    QTemporaryDir FDir;
    QString FList;
    TaskTable FTable;
};

bool operator==(const TaskEntry& a, const TaskEntry& b);
void PrintTo(const TaskEntry& t, std::ostream* os);
