#pragma once
// The in-memory task table: records in insertion order, a field set (the task record's seven
// fields, or whatever a loaded file declares), named sort orders kept current as records change,
// and a cursor. A record index is the 1-based position of a record in the current order.
//
// Every failure is a TaskStoreError carrying the message the user sees.

#include "store/field_value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>
#include <vector>

class TaskStoreError : public std::runtime_error {
public:
    explicit TaskStoreError(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message)
    {
    }
    const QString& message() const { return FMessage; }

private:
    QString FMessage;
};

// The task record's field names.
namespace TaskField {
inline const QString Title = QStringLiteral("Task Title");
inline const QString Category = QStringLiteral("Category");
inline const QString Created = QStringLiteral("Created");
inline const QString CompleteBy = QStringLiteral("Complete By");
inline const QString Priority = QStringLiteral("Priority");
inline const QString Completed = QStringLiteral("Completed");
inline const QString Details = QStringLiteral("Details");
} // namespace TaskField

// What a column holds. The task record uses WideString, DateTime, UInt16 and WideMemo; a loaded
// foreign or old file may declare the others.
enum class FieldKind {
    WideString, // UTF-16 text of at most `size` characters
    AnsiString, // 8-bit text of at most `size` characters
    WideMemo,   // unlimited UTF-16 text
    AnsiMemo,   // unlimited 8-bit text
    Bytes,      // binary value (fixed or varying)
    DateTime,   // days since 1899-12-30 as a double
    Date,
    Time,
    Integer,  // signed, `size` bytes
    Unsigned, // unsigned, `size` bytes (the task record's Priority is Unsigned of 2)
    Boolean,
    Float,
};

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::WideString;
    int size = 0; // characters for text, bytes for numbers and fixed byte fields
    int attributes = 0;
    QString subtype; // BLOB subtype as the file names it ("WideText", "Text", ...)
    // Raw type word and width as found in a loaded file, so that a read-then-write keeps them.
    quint32 typeWord = 0;
};

class TaskTable {
public:
    TaskTable();
    ~TaskTable();
    TaskTable(const TaskTable&) = delete;
    TaskTable& operator=(const TaskTable&) = delete;

    // --- life cycle -------------------------------------------------------------------------
    bool Active() const;
    // Drops every record and makes the table inactive. Named order definitions stay.
    void Close();
    // Defines the fields and makes the table active and empty.
    void CreateDataSet(const std::vector<FieldDef>& fields);
    // Makes room for `count` records in all, so that loading that many grows nothing twice.
    void ReserveRecords(int count);

    // --- fields ---------------------------------------------------------------------------
    const std::vector<FieldDef>& Fields() const;
    // The index of a field; raises an error naming the field when the table has no such field.
    int FieldIndex(const QString& name) const;
    int FindField(const QString& name) const; // -1 when missing

    // --- sort orders ----------------------------------------------------------------------
    // Defines an order: key fields joined by ";" and whether all keys are descending.
    // Defining does not build it; it is built the first time it is selected.
    void AddIndex(const QString& name, const QString& fields, bool descending);
    bool HasIndex(const QString& name) const;
    // Makes the named order current (building it on first use); an empty name selects
    // insertion order. Raises an error for an unknown name or a key field the table lacks, and
    // then keeps the current order. The cursor stays on its record. Close and CreateDataSet
    // select insertion order again.
    void SetIndexName(const QString& name);
    QString IndexName() const;

    // --- cursor ---------------------------------------------------------------------------
    int RecordCount() const;
    void First();
    void Next();
    bool Eof() const;
    // 1-based position of the cursor's record in the current order (0 when empty).
    int RecNo() const;
    // Moves the cursor; raises an error for an index outside 1..RecordCount() and then leaves
    // the cursor where it was.
    void SetRecNo(int recIndex);
    // A number for the cursor's record that stays with it through every change and order, and
    // that no other record of this table object ever has (0 when there is no current record).
    // Record indexes change with the order; this does not. It is not stored in the list file.
    quint64 RecordId() const;

    // --- values of the cursor's record ----------------------------------------------------
    // Reading converts between kinds; a null reads as empty text, 0 and the date-time 0. With no
    // current record (empty table) every field reads as null. Writing raises an error when the
    // table has no current record or the field cannot hold the value.
    bool IsNull(int field) const;
    QString AsString(int field) const;
    qint64 AsInteger(int field) const;
    double AsDateTime(int field) const;
    QString AsString(const QString& field) const { return AsString(FieldIndex(field)); }
    qint64 AsInteger(const QString& field) const { return AsInteger(FieldIndex(field)); }
    double AsDateTime(const QString& field) const { return AsDateTime(FieldIndex(field)); }

    // --- changes --------------------------------------------------------------------------
    // Appends an empty (all null) record and puts the cursor on it.
    void Append();
    // Set a value of the cursor's record; every order is kept current, the cursor follows the
    // record to its new place.
    void SetNull(int field);
    void SetString(int field, const QString& value);
    void SetInteger(int field, qint64 value);
    void SetDateTime(int field, double value);
    // Deletes the cursor's record; the cursor moves to the record that followed it. When the
    // last record of the order goes, the cursor moves to the new last record and Eof() is true,
    // so that a First/Next walk that deletes as it goes ends there.
    void Delete();

    // --- raw access for the list file reader and writer -------------------------------------
    // Appends a record with these values (one per field, each null or of the alternative its
    // field's kind keeps, see field_value.h) and puts the cursor on it. Orders not yet built
    // are left alone, so loading into a new table costs no sorting until an order is selected.
    // Raises an error naming the field for a value of the wrong alternative.
    void AppendRecord(std::vector<FieldValue> values);
    // The value of field `field` of the record `record` (0-based) in insertion order, the order
    // in which records were appended; deletions close the gap. Raises an error when out of range.
    const FieldValue& RawValue(int record, int field) const;
    // The cursor's record's value as stored; null when there is no current record.
    const FieldValue& CurrentValue(int field) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Defines the six named orders of the task record (smCaDePrTiCr, smCompletedDesc, smDePrTiCr,
// smCreated, smPrDeTiCr, smTiDePrCr) that the table does not define yet.
void AddSortIndexes(TaskTable& table);
