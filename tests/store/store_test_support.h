#pragma once
// Helpers for the list file tests: tables built from rows, byte strings from hex, temporary
// list files.

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/datapacket_writer.h"
#include "store/task_table.h"
#include "store/todo_db.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QTime>
#include <vector>

struct TaskRow {
    QString title;
    QString category;
    double created = 0;
    double deadline = NullDate;
    int priority = 1;
    double completed = NullDate;
    QString details;
};

inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline double At(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return EncodeDateTime(QDate(y, m, d), QTime(h, min, s, ms));
}

// A task table with the task record's fields and these rows, in this insertion order.
inline void FillTaskTable(TaskTable& table, const std::vector<TaskRow>& rows)
{
    CreateTaskTable(table);
    for (const TaskRow& r : rows) {
        std::vector<FieldValue> values = {
            FieldValue::fromText(r.title),
            FieldValue::fromText(r.category),
            FieldValue::fromReal(r.created),
            FieldValue::fromReal(r.deadline),
            FieldValue::fromInteger(r.priority),
            FieldValue::fromReal(r.completed),
            r.details.isEmpty() ? FieldValue() : FieldValue::fromText(r.details),
        };
        table.AppendRecord(std::move(values));
    }
}

inline QByteArray PacketOf(const std::vector<TaskRow>& rows)
{
    TaskTable table;
    FillTaskTable(table, rows);
    return DataPacketWriter::Write(table);
}

inline QByteArray ListFileOf(const std::vector<TaskRow>& rows)
{
    return SignatureSchema2 + PacketOf(rows);
}

inline QByteArray ReadFileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool WriteFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
