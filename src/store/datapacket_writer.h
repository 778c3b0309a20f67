#pragma once
// Writes the task table as a binary datapacket: header, column descriptors with their properties,
// no table parameters, then one row per record in insertion order.

#include "store/field_value.h"
#include "store/task_table.h"

#include <QByteArray>

class DataPacketWriter {
public:
    // Appends the packet to `out`.
    static void Write(const TaskTable& table, QByteArray& out);
    static QByteArray Write(const TaskTable& table);

    // The type word a column is written with.
    static quint32 TypeWordOf(const FieldDef& field);
};
