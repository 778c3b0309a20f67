#pragma once
// Reads a binary datapacket into the task table. The table takes its field set from the packet's
// column descriptors; rows become records in the order they appear.
//
// The reader never reads past the data it is given and checks every count against the bytes that
// remain before it trusts it. A packet that ends early or contradicts itself raises a
// TaskStoreError naming `sourceName` and saying that it is damaged.

#include "store/field_value.h"
#include "store/task_table.h"

#include <QByteArray>
#include <QString>
#include <vector>

class QIODevice;

class DataPacketReader {
public:
    // Replaces the table's fields and records with the packet's. On error the table is inactive.
    static void Read(const QByteArray& packet, TaskTable& table, const QString& sourceName = {});
    // Reads from the device's position to its end.
    static void Read(QIODevice& device, TaskTable& table, const QString& sourceName = {});
};
