#include "store/table_index.h"

#include "store/field_convert.h"

#include <algorithm>

TableIndex::TableIndex(const QString& name, const QString& fields, bool descending)
    : FName(name), FFieldsText(fields), FDescending(descending)
{
}

void TableIndex::build(const std::vector<TableRecord*>& records,
                       const std::vector<FieldDef>& fields, const QCollator* collator)
{
    std::vector<Key> keys;
    for (const QString& part : FFieldsText.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        const int field = FindFieldIn(fields, name);
        if (field < 0)
            throw TaskStoreError(QStringLiteral("Field '%1' not found").arg(name));
        KeyCompare how = KeyCompare::Bytes;
        switch (fields[field].kind) {
        case FieldKind::WideString:
        case FieldKind::WideMemo:
            how = KeyCompare::Text;
            break;
        case FieldKind::AnsiString:
        case FieldKind::AnsiMemo:
            how = KeyCompare::AnsiText;
            break;
        case FieldKind::Bytes:
            how = KeyCompare::Bytes;
            break;
        case FieldKind::DateTime:
        case FieldKind::Date:
        case FieldKind::Time:
        case FieldKind::Float:
            how = KeyCompare::Real;
            break;
        case FieldKind::Unsigned:
            how = fields[field].size >= 8 ? KeyCompare::Unsigned64 : KeyCompare::Signed;
            break;
        case FieldKind::Integer:
        case FieldKind::Boolean:
            how = KeyCompare::Signed;
            break;
        }
        keys.push_back({field, how});
    }
    if (keys.empty())
        throw TaskStoreError(QStringLiteral("Index '%1' has no key fields").arg(FName));

    FKeys = std::move(keys);
    FCollator = collator;
    FRows = records;
    // Make the collation keys up front: the sort then only compares bytes.
    for (const Key& key : FKeys)
        if (key.compare == KeyCompare::Text || key.compare == KeyCompare::AnsiText)
            for (const TableRecord* record : FRows)
                if (!record->values[key.field].isNull())
                    textKey(key, record);
    std::sort(FRows.begin(), FRows.end(),
              [this](const TableRecord* a, const TableRecord* b) { return less(a, b); });
    FBuilt = true;
}

void TableIndex::reset()
{
    FBuilt = false;
    FRows.clear();
    FRows.shrink_to_fit();
    FKeys.clear();
    FCollator = nullptr;
}

bool TableIndex::usesField(int field) const
{
    return std::any_of(FKeys.begin(), FKeys.end(),
                       [field](const Key& key) { return key.field == field; });
}

const QCollatorSortKey& TableIndex::textKey(const Key& key, const TableRecord* record) const
{
    auto& keys = record->textKeys;
    if (int(keys.size()) <= key.field)
        keys.resize(record->values.size());
    auto& cached = keys[key.field];
    if (!cached) {
        const FieldValue& value = record->values[key.field];
        cached.emplace(FCollator->sortKey(
            key.compare == KeyCompare::Text ? value.text() : DecodeAnsiText(value.bytes())));
    }
    return *cached;
}

int TableIndex::compareKey(const Key& key, const TableRecord* a, const TableRecord* b) const
{
    const FieldValue& va = a->values[key.field];
    const FieldValue& vb = b->values[key.field];
    const bool nullA = va.isNull();
    const bool nullB = vb.isNull();
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    switch (key.compare) {
    case KeyCompare::Text:
    case KeyCompare::AnsiText: {
        const int c = textKey(key, a).compare(textKey(key, b));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case KeyCompare::Bytes: {
        const int c = va.bytes().compare(vb.bytes());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case KeyCompare::Real:
        return va.real() < vb.real() ? -1 : (vb.real() < va.real() ? 1 : 0);
    case KeyCompare::Signed:
        return va.integer() < vb.integer() ? -1 : (vb.integer() < va.integer() ? 1 : 0);
    case KeyCompare::Unsigned64: {
        const quint64 ua = quint64(va.integer());
        const quint64 ub = quint64(vb.integer());
        return ua < ub ? -1 : (ub < ua ? 1 : 0);
    }
    }
    return 0;
}

int TableIndex::compare(const TableRecord* a, const TableRecord* b) const
{
    int c = 0;
    for (const Key& key : FKeys) {
        c = compareKey(key, a, b);
        if (c != 0)
            break;
    }
    if (c == 0)
        c = a->seq < b->seq ? -1 : (a->seq > b->seq ? 1 : 0);
    // A descending order is the exact mirror of the ascending one, null placement included.
    return FDescending ? -c : c;
}

int TableIndex::find(const TableRecord* record) const
{
    const auto it =
        std::lower_bound(FRows.begin(), FRows.end(), record,
                         [this](const TableRecord* a, const TableRecord* b) { return less(a, b); });
    if (it != FRows.end() && *it == record)
        return int(it - FRows.begin());
    // Only reachable if the keys changed behind the order's back; stay correct anyway.
    const auto linear = std::find(FRows.begin(), FRows.end(), record);
    return linear == FRows.end() ? -1 : int(linear - FRows.begin());
}

void TableIndex::insert(TableRecord* record)
{
    const auto it =
        std::lower_bound(FRows.begin(), FRows.end(), record,
                         [this](const TableRecord* a, const TableRecord* b) { return less(a, b); });
    FRows.insert(it, record);
}

void TableIndex::removeAt(int position)
{
    FRows.erase(FRows.begin() + position);
}

void TableIndex::reposition(int position)
{
    TableRecord* record = FRows[position];
    const auto at = FRows.begin() + position;
    const auto lessThan = [this](const TableRecord* a, const TableRecord* b) { return less(a, b); };
    if (position > 0 && less(record, FRows[position - 1])) {
        const auto target = std::lower_bound(FRows.begin(), at, record, lessThan);
        std::rotate(target, at, at + 1);
    } else if (position + 1 < int(FRows.size()) && less(FRows[position + 1], record)) {
        const auto target = std::lower_bound(at + 1, FRows.end(), record, lessThan);
        std::rotate(at, at + 1, target);
    }
}
