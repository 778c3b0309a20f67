#pragma once
// Reading and writing a field of any kind as text, integer or date-time, and the 8-bit text
// decoding of the system's ANSI code page.

#include "store/field_value.h"
#include "store/task_table.h"

// How a kind keeps its values (see field_value.h).
enum class FieldStorage { Text, Bytes, Real, Integer };
FieldStorage StorageOf(FieldKind kind);
bool IsTextKind(FieldKind kind); // every kind that reads naturally as text (wide or 8-bit)

// Index of the field named `name` (exact spelling first, else ignoring case), or -1.
int FindFieldIn(const std::vector<FieldDef>& fields, const QString& name);

// 8-bit text in the system code page, ending at its first zero byte.
QString DecodeAnsiText(const QByteArray& bytes);
QByteArray EncodeAnsiText(const QString& text);

// Reads; a null value reads as empty text, 0 and the date-time 0. Raise TaskStoreError when the
// value cannot be read so (a text that is no number, ...).
QString ValueAsString(const FieldDef& field, const FieldValue& value);
qint64 ValueAsInteger(const FieldDef& field, const FieldValue& value);
double ValueAsDateTime(const FieldDef& field, const FieldValue& value);

// Values to store; raise TaskStoreError when the field cannot hold the value.
FieldValue ValueFromString(const FieldDef& field, const QString& text);
FieldValue ValueFromInteger(const FieldDef& field, qint64 value);
FieldValue ValueFromDateTime(const FieldDef& field, double value);

// Checks that a raw value holds the alternative of its field's kind (or is null).
bool ValueFitsField(const FieldDef& field, const FieldValue& value);
