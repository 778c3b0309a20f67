#include "store/table_index.h"

#include "store/field_convert.h"

#include <QHash>
#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

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
        const FieldDef& def = fields[field];
        KeyCompare how = KeyCompare::Bytes;
        switch (StorageOf(def.kind)) {
        case FieldStorage::Text:
            how = KeyCompare::Text;
            break;
        case FieldStorage::Bytes:
            how = IsTextKind(def.kind) ? KeyCompare::AnsiText : KeyCompare::Bytes;
            break;
        case FieldStorage::Real:
            how = KeyCompare::Real;
            break;
        case FieldStorage::Integer:
            // Only an 8-byte unsigned value can leave the signed range.
            how = def.kind == FieldKind::Unsigned && def.size >= 8 ? KeyCompare::Unsigned64
                                                                   : KeyCompare::Signed;
            break;
        }
        keys.push_back({field, how});
    }
    if (keys.empty())
        throw TaskStoreError(QStringLiteral("Index '%1' has no key fields").arg(FName));

    if (keys.size() > 63)
        throw TaskStoreError(QStringLiteral("Index '%1' has too many key fields").arg(FName));

    FKeys = std::move(keys);
    FCollator = collator;
    sortAll(records);
    FBuilt = true;
}

namespace {

// Maps a double to an unsigned integer of the same order; every NaN sorts after +infinity.
quint64 OrderedBits(double value)
{
    if (std::isnan(value))
        return ~quint64(0);
    if (value == 0.0)
        value = 0.0; // -0 equals +0
    const quint64 bits = std::bit_cast<quint64>(value);
    return (bits & 0x8000000000000000ull) ? ~bits : (bits | 0x8000000000000000ull);
}

// Ranks `count` distinct values ordered by `compare` (negative, zero or positive, as
// QByteArray::compare): values that compare equal get equal ranks.
template <typename Compare> std::vector<quint64> RanksOf(size_t count, Compare compare)
{
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });
    std::vector<quint64> rank(count);
    quint64 current = 0;
    for (size_t j = 0; j < count; ++j) {
        if (j > 0 && compare(order[j - 1], order[j]) != 0)
            ++current;
        rank[order[j]] = current;
    }
    return rank;
}

} // namespace

// Ranks the distinct values of a text or byte key field: equal collation keys get equal ranks.
// Each record's collation key is cached on the way, shared between records of equal text.
void TableIndex::rankColumn(const Key& key, const std::vector<TableRecord*>& records,
                            std::vector<quint64>& rows, size_t stride, size_t column) const
{
    const size_t n = records.size();
    std::vector<int> distinctOf(n, -1);
    std::vector<size_t> firstRecord;
    if (key.compare == KeyCompare::Bytes) {
        QHash<QByteArray, int> ids;
        std::vector<QByteArray> values;
        for (size_t i = 0; i < n; ++i) {
            const FieldValue& value = records[i]->values[key.field];
            if (value.isNull())
                continue;
            auto it = ids.constFind(value.bytes());
            if (it == ids.constEnd()) {
                it = ids.insert(value.bytes(), int(values.size()));
                values.push_back(value.bytes());
            }
            distinctOf[i] = *it;
        }
        const std::vector<quint64> rank =
            RanksOf(values.size(), [&](int a, int b) { return values[a].compare(values[b]); });
        for (size_t i = 0; i < n; ++i)
            if (distinctOf[i] >= 0)
                rows[i * stride + column] = rank[distinctOf[i]];
        return;
    }

    QHash<QString, int> ids;
    std::vector<QString> texts;
    for (size_t i = 0; i < n; ++i) {
        const FieldValue& value = records[i]->values[key.field];
        if (value.isNull())
            continue;
        const QString text =
            key.compare == KeyCompare::Text ? value.text() : DecodeAnsiText(value.bytes());
        auto it = ids.constFind(text);
        if (it == ids.constEnd()) {
            it = ids.insert(text, int(texts.size()));
            texts.push_back(text);
            firstRecord.push_back(i);
        }
        distinctOf[i] = *it;
    }
    std::vector<QCollatorSortKey> sortKeys;
    sortKeys.reserve(texts.size());
    for (size_t j = 0; j < texts.size(); ++j) {
        const auto& cache = records[firstRecord[j]]->textKeys;
        if (key.field < int(cache.size()) && cache[key.field])
            sortKeys.push_back(*cache[key.field]);
        else
            sortKeys.push_back(FCollator->sortKey(texts[j]));
    }
    const std::vector<quint64> rank =
        RanksOf(texts.size(), [&](int a, int b) { return sortKeys[a].compare(sortKeys[b]); });
    for (size_t i = 0; i < n; ++i) {
        if (distinctOf[i] < 0)
            continue;
        rows[i * stride + column] = rank[distinctOf[i]];
        auto& cache = records[i]->textKeys;
        // Room up to this field only: most records never cache a key past the first fields.
        if (int(cache.size()) <= key.field)
            cache.resize(size_t(key.field) + 1);
        if (!cache[key.field])
            cache[key.field] = sortKeys[distinctOf[i]];
    }
}

// Sorts all records at once: every key is first turned into an unsigned integer of the same
// order (text by rank of its collation key), so the sort itself compares flat numbers.
void TableIndex::sortAll(const std::vector<TableRecord*>& records)
{
    const size_t n = records.size();
    const size_t keyCount = FKeys.size();
    const size_t stride = keyCount + 1; // slot 0: bit k set when key k is null
    std::vector<quint64> rows(n * stride, 0);
    for (size_t k = 0; k < keyCount; ++k) {
        const Key& key = FKeys[k];
        const size_t column = k + 1;
        for (size_t i = 0; i < n; ++i)
            if (records[i]->values[key.field].isNull())
                rows[i * stride] |= quint64(1) << k;
        const auto fillColumn = [&](auto orderedBits) {
            for (size_t i = 0; i < n; ++i) {
                const FieldValue& value = records[i]->values[key.field];
                if (!value.isNull())
                    rows[i * stride + column] = orderedBits(value);
            }
        };
        switch (key.compare) {
        case KeyCompare::Text:
        case KeyCompare::AnsiText:
        case KeyCompare::Bytes:
            rankColumn(key, records, rows, stride, column);
            break;
        case KeyCompare::Real:
            fillColumn([](const FieldValue& value) { return OrderedBits(value.real()); });
            break;
        case KeyCompare::Signed:
            fillColumn([](const FieldValue& value) {
                return quint64(value.integer()) ^ 0x8000000000000000ull;
            });
            break;
        case KeyCompare::Unsigned64:
            fillColumn([](const FieldValue& value) { return quint64(value.integer()); });
            break;
        }
    }

    // Records come in insertion order, so their position there is the sequence tie-breaker.
    std::vector<quint32> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = quint32(i);
    const bool descending = FDescending;
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const quint64* rowA = &rows[a * stride];
        const quint64* rowB = &rows[b * stride];
        int c = 0;
        for (size_t k = 0; k < keyCount; ++k) {
            const bool nullA = (rowA[0] >> k) & 1;
            const bool nullB = (rowB[0] >> k) & 1;
            if (nullA != nullB) {
                c = nullA ? -1 : 1;
                break;
            }
            if (rowA[k + 1] != rowB[k + 1]) {
                c = rowA[k + 1] < rowB[k + 1] ? -1 : 1;
                break;
            }
        }
        if (c == 0)
            c = a < b ? -1 : (a > b ? 1 : 0);
        return descending ? c > 0 : c < 0;
    });
    FRows.resize(n);
    for (size_t i = 0; i < n; ++i)
        FRows[i] = records[order[i]];
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
        keys.resize(size_t(key.field) + 1);
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
    case KeyCompare::Real: {
        const double a = va.real();
        const double b = vb.real();
        if (std::isnan(a) || std::isnan(b))
            return std::isnan(a) == std::isnan(b) ? 0 : (std::isnan(a) ? 1 : -1);
        return a < b ? -1 : (b < a ? 1 : 0);
    }
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
