#pragma once
// One stored value of the task table. The alternative held depends on the field's kind:
//   WideString, WideMemo                 -> QString   (the text)
//   AnsiString, AnsiMemo, Bytes          -> QByteArray (the bytes as stored, no decoding)
//   DateTime, Date, Time, Float          -> double    (date kinds as days since 1899-12-30)
//   Integer, Unsigned, Boolean           -> qint64    (an unsigned 8-byte value keeps its bits;
//                                                      a Boolean is 0 or 1)
// A default-constructed value is null.

#include <QByteArray>
#include <QString>
#include <variant>

class FieldValue {
public:
    FieldValue() = default;

    static FieldValue fromText(const QString& text) { return FieldValue(Storage(text)); }
    static FieldValue fromBytes(const QByteArray& bytes) { return FieldValue(Storage(bytes)); }
    static FieldValue fromReal(double value) { return FieldValue(Storage(value)); }
    static FieldValue fromInteger(qint64 value) { return FieldValue(Storage(value)); }

    bool isNull() const { return std::holds_alternative<std::monostate>(FValue); }
    bool isText() const { return std::holds_alternative<QString>(FValue); }
    bool isBytes() const { return std::holds_alternative<QByteArray>(FValue); }
    bool isReal() const { return std::holds_alternative<double>(FValue); }
    bool isInteger() const { return std::holds_alternative<qint64>(FValue); }

    // Accessors of the alternative held; calling the wrong one is a programming error.
    const QString& text() const { return std::get<QString>(FValue); }
    const QByteArray& bytes() const { return std::get<QByteArray>(FValue); }
    double real() const { return std::get<double>(FValue); }
    qint64 integer() const { return std::get<qint64>(FValue); }

    bool operator==(const FieldValue& other) const = default;

private:
    using Storage = std::variant<std::monostate, QString, QByteArray, double, qint64>;
    explicit FieldValue(Storage value) : FValue(std::move(value)) {}
    Storage FValue;
};
