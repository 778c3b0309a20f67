// Task fields of other kinds than the program writes, as files from elsewhere may keep them:
// every value is tried once when the file is read, so that a list that opens can always be read.

#include "packet_builder.h"
#include "store/todo_db.h"
#include "store_test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using B = PacketBuilder;

struct Column {
    QByteArray name;
    quint32 typeWord;
    QByteArray properties;
    int propertyCount;
};

const Column TaskColumns[] = {
    {"Task Title", 0x004A0002, B::width(400), 1},
    {"Category", 0x004A0001, B::width(100), 1},
    {"Created", 0x00080008, {}, 0},
    {"Complete By", 0x00080008, {}, 0},
    {"Priority", 0x00020002, {}, 0},
    {"Completed", 0x00080008, {}, 0},
    {"Details", 0x004B0004, B::subtype("WideText"), 1},
};

// A list of the task record's columns, column `field` declared with `typeWord`, and one row in
// which only that column holds a value, `value` (its stored bytes); an empty `value` leaves it
// null too.
QByteArray ListWith(int field, quint32 typeWord, const QByteArray& value)
{
    B packet;
    for (int j = 0; j < 7; ++j)
        packet.column(TaskColumns[j].name, j == field ? typeWord : TaskColumns[j].typeWord,
                      j == field ? QByteArray() : TaskColumns[j].properties,
                      j == field ? 0 : TaskColumns[j].propertyCount);
    QByteArray flags(2, '\0');
    for (int j = 0; j < 7; ++j)
        if (j != field || value.isEmpty())
            flags[j / 4] = char(flags[j / 4] | (1 << (2 * (j % 4))));
    packet.row(QByteArray(1, '\0') + flags + value);
    return SignatureSchema2 + packet.build();
}

QByteArray Ansi(const QByteArray& text)
{
    return QByteArray(1, char(text.size())) + text;
}

} // namespace

TEST(TaskFieldCheck, ValuesThatDoNotReadAsTheirFieldAreRefusedAtOpen)
{
    SetShortDateFormat(QStringLiteral("yyyy-MM-dd"));
    QTemporaryDir dir;
    const QString p = dir.filePath("list.qmtd");
    const int title = 0, created = 2, completeBy = 3, priority = 4, completed = 5;
    struct Case {
        const char* what;
        int field;
        quint32 typeWord;
        QByteArray value;
        QString problem; // empty: opens
    };
    const Case cases[] = {
        {"completed as text", completed, 0x00490001, Ansi("abc"),
         "record 1 holds \"abc\" as its \"Completed\", which is not a date and time"},
        {"completed as a text date", completed, 0x00490001, Ansi("2024-01-15"), {}},
        {"deadline as a float", completeBy, 0x00040008, B::f64(45000.0), {}},
        {"deadline as an infinite float", completeBy, 0x00040008, B::f64(qInf()),
         "record 1 holds \"inf\" as its \"Complete By\", which is not a date and time"},
        {"deadline far beyond any calendar", completeBy, 0x00040008, B::f64(1e300),
         "record 1 holds \"1e+300\" as its \"Complete By\", which is not a date and time"},
        {"created as a whole number", created, 0x00010004, B::le32(45000), {}},
        {"created as a boolean", created, 0x00030002, B::le16(1),
         "record 1 holds \"True\" as its \"Created\", which is not a date and time"},
        {"created as a boolean, null", created, 0x00030002, {}, {}},
        {"created as bytes", created, 0x000B0004, "\x01\x02\x03\x04",
         "record 1 holds binary data as its \"Created\", which is not a date and time"},
        {"priority as text", priority, 0x00490001, Ansi("high"),
         "record 1 holds \"high\" as its \"Priority\", which is not a whole number"},
        {"priority as a text number", priority, 0x00490001, Ansi("2"), {}},
        {"priority as a float", priority, 0x00040008, B::f64(1.0), {}},
        {"priority as a NaN", priority, 0x00040008, B::f64(qQNaN()),
         "record 1 holds \"nan\" as its \"Priority\", which is not a whole number"},
        {"title as a date-time", title, 0x00080008, B::f64(146326435200000.0), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(p, ListWith(c.field, c.typeWord, c.value)));
        TaskTable table;
        try {
            OpenTaskTable(p, table);
            EXPECT_TRUE(c.problem.isEmpty()) << "opened";
            // Every task field of every record reads.
            for (table.First(); !table.Eof(); table.Next()) {
                for (const QString& f : {TaskField::Title, TaskField::Category, TaskField::Details})
                    table.AsString(f);
                for (const QString& f :
                     {TaskField::Created, TaskField::CompleteBy, TaskField::Completed})
                    table.AsDateTime(f);
                table.AsInteger(TaskField::Priority);
            }
        } catch (const TaskStoreError& e) {
            EXPECT_EQ(e.message(), p + " is damaged and cannot be read: " + c.problem + ".");
            EXPECT_FALSE(table.Active());
        }
        CloseTaskStore(table);
    }
    SetShortDateFormat({});
}

TEST(TaskFieldCheck, AListWithoutATaskFieldIsRefusedAtOpen)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("list.qmtd");
    B packet;
    for (int j = 0; j < 7; ++j)
        if (TaskColumns[j].name != "Priority")
            packet.column(TaskColumns[j].name, TaskColumns[j].typeWord, TaskColumns[j].properties,
                          TaskColumns[j].propertyCount);
    ASSERT_TRUE(WriteFileBytes(p, SignatureSchema2 + packet.build()));
    TaskTable table;
    try {
        OpenTaskTable(p, table, TOpenAccess::ReadOnly);
        ADD_FAILURE() << "opened";
    } catch (const TaskStoreError& e) {
        EXPECT_EQ(e.message(),
                  p + " is damaged and cannot be read: it has no column \"Priority\".");
    }
    CloseTaskStore(table);
}
