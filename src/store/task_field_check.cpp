#include "store/task_field_check.h"

#include "store/field_convert.h"

#include <cmath>

namespace {

// How the program reads each task field.
enum class Access { Text, DateTime, Integer };

struct TaskFieldUse {
    const QString& name;
    Access access;
};

// Far beyond any calendar date, yet small enough that every date computation stays in range.
constexpr double MaxDays = 1e11;

// Kinds whose every value reads as `access` without a doubt (the reader bounds date-times).
bool alwaysReads(FieldKind kind, Access access)
{
    switch (access) {
    case Access::Text:
        return true;
    case Access::DateTime:
        return kind == FieldKind::DateTime || kind == FieldKind::Date || kind == FieldKind::Time;
    case Access::Integer:
        return kind == FieldKind::Integer || kind == FieldKind::Unsigned ||
               kind == FieldKind::Boolean;
    }
    return false;
}

// Whether the value reads as `access`.
bool reads(const FieldDef& def, const FieldValue& value, Access access)
{
    try {
        if (access == Access::Integer) {
            ValueAsInteger(def, value);
            return true;
        }
        const double days = ValueAsDateTime(def, value);
        return std::isfinite(days) && std::fabs(days) <= MaxDays;
    } catch (const TaskStoreError&) {
        return false;
    }
}

QString shown(const FieldDef& def, const FieldValue& value)
{
    if (def.kind == FieldKind::Bytes)
        return QStringLiteral("binary data");
    QString text = ValueAsString(def, value);
    if (text.size() > 40)
        text = text.left(40) + QChar(0x2026);
    return QStringLiteral("\"%1\"").arg(text);
}

[[noreturn]] void damaged(const QString& sourceName, const QString& reason)
{
    throw TaskStoreError(
        QStringLiteral("%1 is damaged and cannot be read: %2.")
            .arg(sourceName.isEmpty() ? QStringLiteral("The datapacket") : sourceName, reason));
}

} // namespace

void CheckTaskFields(const TaskTable& table, const QString& sourceName)
{
    const TaskFieldUse uses[] = {
        {TaskField::Title, Access::Text},       {TaskField::Category, Access::Text},
        {TaskField::Created, Access::DateTime}, {TaskField::CompleteBy, Access::DateTime},
        {TaskField::Priority, Access::Integer}, {TaskField::Completed, Access::DateTime},
        {TaskField::Details, Access::Text},
    };
    for (const TaskFieldUse& use : uses) {
        const int field = table.FindField(use.name);
        if (field < 0)
            damaged(sourceName, QStringLiteral("it has no column \"%1\"").arg(use.name));
        const FieldDef& def = table.Fields()[field];
        if (alwaysReads(def.kind, use.access))
            continue;
        for (int record = 0; record < table.RecordCount(); ++record) {
            const FieldValue& value = table.RawValue(record, field);
            if (value.isNull() || reads(def, value, use.access))
                continue;
            damaged(sourceName,
                    QStringLiteral("record %1 holds %2 as its \"%3\", which is not %4")
                        .arg(record + 1)
                        .arg(shown(def, value), use.name,
                             use.access == Access::Integer ? QStringLiteral("a whole number")
                                                           : QStringLiteral("a date and time")));
        }
    }
}
