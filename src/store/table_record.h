#pragma once
// One record of the task table as the table and its sort orders keep it.

#include "store/field_value.h"

#include <QCollatorSortKey>
#include <optional>
#include <vector>

struct TableRecord {
    // Grows with every append and is never reused: the insertion order of the table, and the
    // last tie-breaker of every sort order.
    quint64 seq = 0;
    std::vector<FieldValue> values;
    // Collation keys of text fields used by a built order, made on first comparison and dropped
    // when the field changes.
    mutable std::vector<std::optional<QCollatorSortKey>> textKeys;

    void dropTextKey(int field)
    {
        if (field < int(textKeys.size()))
            textKeys[field].reset();
    }
};
