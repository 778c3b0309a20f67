#pragma once
// Reads a binary datapacket into the task table. The table takes its field set from the packet's
// column descriptors; rows become records in the order they appear.
//
// The reader never reads past the data it is given and checks every count against the bytes that
// remain, at the smallest size each counted item can have, before it trusts it. A packet that ends
// early or contradicts itself raises a TaskStoreError naming `sourceName` and saying that it is
// damaged.

#include "store/field_value.h"
#include "store/task_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

class QIODevice;

// The most records, and the most values (records times columns), a table read from a packet may
// have. However few bytes a row takes in a file (three, when all its values are null), its record
// takes some 300 bytes in memory: these bound what a crafted count can make the program take.
constexpr qint64 MaxPacketRecords = 250000;
constexpr qint64 MaxPacketValues = 7 * MaxPacketRecords;

class DataPacketReader {
public:
    // Replaces the table's fields and records with the packet's. On error the table is inactive.
    // A packet of more than `maxRecords` records (or MaxPacketValues values) raises
    // TaskStoreError "<source> is too large to open.", before its rows are read.
    static void Read(QByteArrayView packet, TaskTable& table, const QString& sourceName = {},
                     qint64 maxRecords = MaxPacketRecords);
    // Reads from the device's position to its end.
    static void Read(QIODevice& device, TaskTable& table, const QString& sourceName = {});
};
