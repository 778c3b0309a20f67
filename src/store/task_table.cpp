#include "store/task_table.h"

#include "store/field_convert.h"
#include "store/table_index.h"
#include "store/table_record.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>

namespace {

// Case-sensitive collation of the user's locale. The C locale has no collation of its own and
// would sort by code point, which tears case variants apart; it uses the root rules instead.
QCollator MakeCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

const FieldValue NullValue;

} // namespace

struct TaskTable::Impl {
    bool active = false;
    std::vector<FieldDef> fields;
    // Every record, owned, in insertion order (ascending seq).
    std::vector<TableRecord*> records;
    quint64 nextSeq = 1;
    std::vector<std::unique_ptr<TableIndex>> indexes; // definition order
    TableIndex* current = nullptr;                    // nullptr: insertion order
    QCollator collator = MakeCollator();

    TableRecord* cursor = nullptr;
    bool eof = true;
    // Position of `cursor` in the current order when cursorPosValid; found again by binary
    // search after anything that may move it.
    int cursorPos = -1;
    bool cursorPosValid = false;

    ~Impl() { dropRecords(); }

    void dropRecords()
    {
        for (auto& index : indexes)
            index->reset();
        for (TableRecord* record : records)
            delete record;
        records.clear();
        records.shrink_to_fit();
        cursor = nullptr;
        eof = true;
        cursorPosValid = false;
        current = nullptr;
    }

    void requireActive() const
    {
        if (!active)
            throw TaskStoreError(QStringLiteral("Cannot perform this operation on a closed list."));
    }

    void requireRecord() const
    {
        requireActive();
        if (!cursor)
            throw TaskStoreError(QStringLiteral("There is no current task."));
    }

    const FieldDef& field(int index) const
    {
        if (index < 0 || index >= int(fields.size()))
            throw TaskStoreError(QStringLiteral("Field index %1 out of range").arg(index));
        return fields[index];
    }

    TableIndex* findIndex(const QString& name) const
    {
        for (const auto& index : indexes)
            if (index->name().compare(name, Qt::CaseInsensitive) == 0)
                return index.get();
        return nullptr;
    }

    void ensureBuilt(TableIndex* index)
    {
        if (!index->built())
            index->build(records, fields, &collator);
    }

    const std::vector<TableRecord*>& rows()
    {
        if (!current)
            return records;
        ensureBuilt(current);
        return current->rows();
    }

    int insertionPosition(const TableRecord* record) const
    {
        const auto it =
            std::lower_bound(records.begin(), records.end(), record->seq,
                             [](const TableRecord* r, quint64 seq) { return r->seq < seq; });
        return int(it - records.begin());
    }

    int cursorPosition()
    {
        if (!cursor)
            return -1;
        if (!cursorPosValid) {
            if (current) {
                ensureBuilt(current);
                cursorPos = current->find(cursor);
            } else {
                cursorPos = insertionPosition(cursor);
            }
            cursorPosValid = true;
        }
        return cursorPos;
    }

    void moveTo(int position)
    {
        cursor = rows()[position];
        cursorPos = position;
        cursorPosValid = true;
        eof = false;
    }

    void appendRecord(std::vector<FieldValue> values)
    {
        auto record = std::make_unique<TableRecord>();
        record->seq = nextSeq++;
        record->values = std::move(values);
        records.push_back(record.get());
        TableRecord* added = record.release();
        for (auto& index : indexes)
            if (index->built())
                index->insert(added);
        cursor = added;
        cursorPosValid = false;
        eof = false;
    }

    void setValue(int fieldIndex, FieldValue value)
    {
        requireRecord();
        field(fieldIndex);
        if (cursor->values[fieldIndex] == value)
            return;
        struct Affected {
            TableIndex* index;
            int position;
        };
        std::vector<Affected> affected;
        for (auto& index : indexes)
            if (index->built() && index->usesField(fieldIndex))
                affected.push_back({index.get(), index->find(cursor)});
        cursor->values[fieldIndex] = std::move(value);
        cursor->dropTextKey(fieldIndex);
        for (const Affected& entry : affected)
            entry.index->reposition(entry.position);
        if (current && current->usesField(fieldIndex))
            cursorPosValid = false;
        eof = false;
    }
};

TaskTable::TaskTable() : d(std::make_unique<Impl>())
{
}

TaskTable::~TaskTable() = default;

bool TaskTable::Active() const
{
    return d->active;
}

void TaskTable::Close()
{
    d->dropRecords();
    d->active = false;
}

void TaskTable::CreateDataSet(const std::vector<FieldDef>& fields)
{
    d->dropRecords();
    d->fields = fields;
    d->collator = MakeCollator();
    d->active = true;
}

void TaskTable::ReserveRecords(int count)
{
    d->records.reserve(size_t(std::max(count, 0)));
}

const std::vector<FieldDef>& TaskTable::Fields() const
{
    return d->fields;
}

int TaskTable::FieldIndex(const QString& name) const
{
    const int index = FindField(name);
    if (index < 0)
        throw TaskStoreError(QStringLiteral("Field '%1' not found").arg(name));
    return index;
}

int TaskTable::FindField(const QString& name) const
{
    return FindFieldIn(d->fields, name);
}

void TaskTable::AddIndex(const QString& name, const QString& fields, bool descending)
{
    if (name.isEmpty())
        throw TaskStoreError(QStringLiteral("An index needs a name"));
    if (HasIndex(name))
        throw TaskStoreError(QStringLiteral("Index '%1' already exists").arg(name));
    d->indexes.push_back(std::make_unique<TableIndex>(name, fields, descending));
}

bool TaskTable::HasIndex(const QString& name) const
{
    return d->findIndex(name) != nullptr;
}

void TaskTable::SetIndexName(const QString& name)
{
    TableIndex* index = nullptr;
    if (!name.isEmpty()) {
        index = d->findIndex(name);
        if (!index)
            throw TaskStoreError(QStringLiteral("Index '%1' not found").arg(name));
        if (d->active)
            d->ensureBuilt(index);
    }
    d->current = index;
    d->cursorPosValid = false;
}

QString TaskTable::IndexName() const
{
    return d->current ? d->current->name() : QString();
}

int TaskTable::RecordCount() const
{
    return int(d->records.size());
}

void TaskTable::First()
{
    d->requireActive();
    if (d->records.empty()) {
        d->cursor = nullptr;
        d->eof = true;
        return;
    }
    d->moveTo(0);
}

void TaskTable::Next()
{
    d->requireActive();
    const int position = d->cursorPosition();
    if (position < 0 || position + 1 >= RecordCount()) {
        d->eof = true;
        return;
    }
    d->moveTo(position + 1);
}

bool TaskTable::Eof() const
{
    return d->eof || !d->cursor;
}

int TaskTable::RecNo() const
{
    if (!d->active || !d->cursor)
        return 0;
    return d->cursorPosition() + 1;
}

void TaskTable::SetRecNo(int recIndex)
{
    d->requireActive();
    if (recIndex < 1 || recIndex > RecordCount()) {
        if (RecordCount() == 0)
            throw TaskStoreError(
                QStringLiteral("Task number %1 does not exist: the list is empty.").arg(recIndex));
        throw TaskStoreError(QStringLiteral("Task number %1 is outside the list (1 to %2).")
                                 .arg(recIndex)
                                 .arg(RecordCount()));
    }
    d->moveTo(recIndex - 1);
}

quint64 TaskTable::RecordId() const
{
    return d->active && d->cursor ? d->cursor->seq : 0;
}

bool TaskTable::IsNull(int field) const
{
    return CurrentValue(field).isNull();
}

QString TaskTable::AsString(int field) const
{
    return ValueAsString(d->field(field), CurrentValue(field));
}

qint64 TaskTable::AsInteger(int field) const
{
    return ValueAsInteger(d->field(field), CurrentValue(field));
}

double TaskTable::AsDateTime(int field) const
{
    return ValueAsDateTime(d->field(field), CurrentValue(field));
}

void TaskTable::Append()
{
    d->requireActive();
    d->appendRecord(std::vector<FieldValue>(d->fields.size()));
}

void TaskTable::SetNull(int field)
{
    d->setValue(field, FieldValue());
}

void TaskTable::SetString(int field, const QString& value)
{
    d->requireRecord();
    d->setValue(field, ValueFromString(d->field(field), value));
}

void TaskTable::SetInteger(int field, qint64 value)
{
    d->requireRecord();
    d->setValue(field, ValueFromInteger(d->field(field), value));
}

void TaskTable::SetDateTime(int field, double value)
{
    d->requireRecord();
    d->setValue(field, ValueFromDateTime(d->field(field), value));
}

void TaskTable::Delete()
{
    d->requireRecord();
    const int position = d->cursorPosition();
    const std::vector<TableRecord*>& order = d->rows();
    const bool wasLast = position + 1 >= int(order.size());
    TableRecord* following = nullptr;
    if (!wasLast)
        following = order[position + 1];
    else if (position > 0)
        following = order[position - 1];

    TableRecord* record = d->cursor;
    for (auto& index : d->indexes)
        if (index->built())
            index->removeAt(index->find(record));
    d->records.erase(d->records.begin() + d->insertionPosition(record));
    delete record;

    d->cursor = following;
    d->eof = wasLast;
    if (following && !wasLast) {
        d->cursorPos = position;
        d->cursorPosValid = true;
    } else {
        d->cursorPosValid = false;
    }
}

void TaskTable::AppendRecord(std::vector<FieldValue> values)
{
    d->requireActive();
    if (values.size() != d->fields.size())
        throw TaskStoreError(QStringLiteral("A record needs %1 values, not %2")
                                 .arg(d->fields.size())
                                 .arg(values.size()));
    for (size_t i = 0; i < values.size(); ++i)
        if (!ValueFitsField(d->fields[i], values[i]))
            throw TaskStoreError(
                QStringLiteral("Wrong kind of value for field '%1'").arg(d->fields[i].name));
    d->appendRecord(std::move(values));
}

const FieldValue& TaskTable::RawValue(int record, int field) const
{
    if (record < 0 || record >= RecordCount())
        throw TaskStoreError(QStringLiteral("Record %1 out of range").arg(record));
    d->field(field);
    return d->records[record]->values[field];
}

const FieldValue& TaskTable::CurrentValue(int field) const
{
    d->requireActive();
    d->field(field);
    if (!d->cursor)
        return NullValue;
    return d->cursor->values[field];
}
