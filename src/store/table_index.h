#pragma once
// A named sort order of the task table: its definition and, once built, every record of the
// table in that order. A built order is kept sorted as records are appended, changed and
// deleted; it compares records by their keys, then by insertion sequence, so that no two
// records compare equal and a record's position can be found by binary search.

#include "store/table_record.h"
#include "store/task_table.h"

#include <QCollator>
#include <QString>
#include <vector>

class TableIndex {
public:
    TableIndex(const QString& name, const QString& fields, bool descending);

    const QString& name() const { return FName; }
    const QString& fieldsText() const { return FFieldsText; }
    bool descending() const { return FDescending; }
    bool built() const { return FBuilt; }

    // Sorts `records` (given in insertion order) into this order. Raises an error naming a key
    // field that `fields` lacks; the order then stays unbuilt.
    void build(const std::vector<TableRecord*>& records, const std::vector<FieldDef>& fields,
               const QCollator* collator);
    // Forgets the records; the definition stays.
    void reset();

    bool usesField(int field) const;
    const std::vector<TableRecord*>& rows() const { return FRows; }

    // Position of a record that the order holds, as its keys are now.
    int find(const TableRecord* record) const;
    void insert(TableRecord* record);
    void removeAt(int position);
    // Moves the record at `position`, whose keys have just changed, to its new place.
    void reposition(int position);

private:
    enum class KeyCompare { Text, AnsiText, Bytes, Real, Signed, Unsigned64 };
    struct Key {
        int field;
        KeyCompare compare;
    };

    void sortAll(const std::vector<TableRecord*>& records);
    void rankColumn(const Key& key, const std::vector<TableRecord*>& records,
                    std::vector<quint64>& rows, size_t stride, size_t column) const;
    int compareKey(const Key& key, const TableRecord* a, const TableRecord* b) const;
    int compare(const TableRecord* a, const TableRecord* b) const;
    bool less(const TableRecord* a, const TableRecord* b) const { return compare(a, b) < 0; }
    const QCollatorSortKey& textKey(const Key& key, const TableRecord* record) const;

    QString FName;
    QString FFieldsText;
    bool FDescending = false;
    bool FBuilt = false;
    std::vector<Key> FKeys;
    const QCollator* FCollator = nullptr;
    std::vector<TableRecord*> FRows;
};
