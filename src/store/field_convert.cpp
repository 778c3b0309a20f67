#include "store/field_convert.h"

#include "shared/datetime.h"

#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cmath>
#include <limits>

namespace {

TaskStoreError NotAnInteger(const QString& text)
{
    return TaskStoreError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

TaskStoreError NotADateTime(const QString& text)
{
    return TaskStoreError(QStringLiteral("'%1' is not a valid date and time").arg(text));
}

TaskStoreError CannotAccess(const FieldDef& field, const char* as)
{
    return TaskStoreError(
        QStringLiteral("Field '%1' cannot be accessed as %2").arg(field.name, QLatin1String(as)));
}

QString TimeText(double value)
{
    const double fraction = std::fabs(value - std::trunc(value));
    const qint64 ms = std::llround(fraction * MSecsPerDay);
    return QTime::fromMSecsSinceStartOfDay(int(ms % qint64(MSecsPerDay)))
        .toString(QStringLiteral("HH:mm:ss"));
}

QString DateTimeText(double value)
{
    QString text = FormatShortDate(value);
    if (value != std::trunc(value))
        text += QLatin1Char(' ') + TimeText(value);
    return text;
}

// Accepts ISO dates and date-times and the user's short formats, with an optional time of day
// "HH:mm[:ss]" after the date.
bool ParseDateTime(const QString& input, double& result)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return false;
    QDateTime dateTime = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (dateTime.isValid()) {
        result = EncodeDateTime(dateTime);
        return true;
    }
    const QLocale locale;
    QString datePart = text;
    QTime time(0, 0);
    const qsizetype space = text.lastIndexOf(QLatin1Char(' '));
    if (space > 0) {
        const QString timePart = text.mid(space + 1);
        QTime parsed = QTime::fromString(timePart, QStringLiteral("H:mm:ss"));
        if (!parsed.isValid())
            parsed = QTime::fromString(timePart, QStringLiteral("H:mm"));
        if (parsed.isValid()) {
            time = parsed;
            datePart = text.left(space).trimmed();
        }
    }
    QDate date = QDate::fromString(datePart, Qt::ISODate);
    if (!date.isValid())
        date = locale.toDate(datePart, QLocale::ShortFormat);
    if (!date.isValid())
        date = locale.toDate(datePart, QLocale::LongFormat);
    if (!date.isValid())
        return false;
    result = EncodeDateTime(date, time);
    return true;
}

qint64 ParseInteger(const QString& input)
{
    bool ok = false;
    const qint64 value = input.trimmed().toLongLong(&ok);
    if (!ok)
        throw NotAnInteger(input);
    return value;
}

qint64 RealToInteger(const FieldDef& field, double value)
{
    const double whole = field.kind == FieldKind::Float ? std::round(value) : std::trunc(value);
    if (!std::isfinite(whole) || whole >= 9.2e18 || whole <= -9.2e18)
        throw CannotAccess(field, "an integer");
    return qint64(whole);
}

void CheckRange(const FieldDef& field, qint64 value)
{
    const int bytes = (field.size >= 1 && field.size < 8) ? field.size : 8;
    qint64 low = 0;
    qint64 high = std::numeric_limits<qint64>::max();
    if (field.kind == FieldKind::Integer) {
        if (bytes < 8) {
            high = (qint64(1) << (8 * bytes - 1)) - 1;
            low = -high - 1;
        } else {
            low = std::numeric_limits<qint64>::min();
        }
    } else if (bytes < 8) {
        high = (qint64(1) << (8 * bytes)) - 1;
    }
    if (value < low || value > high)
        throw TaskStoreError(
            QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
                .arg(value)
                .arg(field.name)
                .arg(low)
                .arg(high));
}

} // namespace

FieldStorage StorageOf(FieldKind kind)
{
    switch (kind) {
    case FieldKind::WideString:
    case FieldKind::WideMemo:
        return FieldStorage::Text;
    case FieldKind::AnsiString:
    case FieldKind::AnsiMemo:
    case FieldKind::Bytes:
        return FieldStorage::Bytes;
    case FieldKind::DateTime:
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::Float:
        return FieldStorage::Real;
    case FieldKind::Integer:
    case FieldKind::Unsigned:
    case FieldKind::Boolean:
        return FieldStorage::Integer;
    }
    return FieldStorage::Bytes;
}

bool IsTextKind(FieldKind kind)
{
    return kind == FieldKind::WideString || kind == FieldKind::WideMemo ||
           kind == FieldKind::AnsiString || kind == FieldKind::AnsiMemo;
}

int FindFieldIn(const std::vector<FieldDef>& fields, const QString& name)
{
    for (int i = 0; i < int(fields.size()); ++i)
        if (fields[i].name == name)
            return i;
    for (int i = 0; i < int(fields.size()); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString DecodeAnsiText(const QByteArray& bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    const QByteArray text = zero < 0 ? bytes : bytes.left(zero);
    QStringDecoder decoder(QStringDecoder::System);
    QString result = decoder.decode(text);
    // Bytes from another code page than this system's: keep every byte as one character rather
    // than replacement marks.
    if (decoder.hasError())
        return QString::fromLatin1(text);
    return result;
}

QByteArray EncodeAnsiText(const QString& text)
{
    QStringEncoder encoder(QStringEncoder::System);
    return encoder.encode(text);
}

QString ValueAsString(const FieldDef& field, const FieldValue& value)
{
    if (value.isNull())
        return QString();
    switch (field.kind) {
    case FieldKind::WideString:
    case FieldKind::WideMemo:
        return value.text();
    case FieldKind::AnsiString:
    case FieldKind::AnsiMemo:
        return DecodeAnsiText(value.bytes());
    case FieldKind::Bytes:
        return QString::fromLatin1(value.bytes());
    case FieldKind::DateTime:
        return DateTimeText(value.real());
    case FieldKind::Date:
        return FormatShortDate(value.real());
    case FieldKind::Time:
        return TimeText(value.real());
    case FieldKind::Float:
        return QString::number(value.real(), 'g', 15);
    case FieldKind::Integer:
        return QString::number(value.integer());
    case FieldKind::Unsigned:
        return QString::number(quint64(value.integer()));
    case FieldKind::Boolean:
        return value.integer() ? QStringLiteral("True") : QStringLiteral("False");
    }
    return QString();
}

qint64 ValueAsInteger(const FieldDef& field, const FieldValue& value)
{
    if (value.isNull())
        return 0;
    switch (StorageOf(field.kind)) {
    case FieldStorage::Integer:
        return value.integer();
    case FieldStorage::Real:
        return RealToInteger(field, value.real());
    case FieldStorage::Text:
        return ParseInteger(value.text());
    case FieldStorage::Bytes:
        if (field.kind == FieldKind::Bytes)
            throw CannotAccess(field, "an integer");
        return ParseInteger(DecodeAnsiText(value.bytes()));
    }
    return 0;
}

double ValueAsDateTime(const FieldDef& field, const FieldValue& value)
{
    if (value.isNull())
        return 0.0;
    double result = 0.0;
    switch (StorageOf(field.kind)) {
    case FieldStorage::Real:
        return value.real();
    case FieldStorage::Integer:
        if (field.kind == FieldKind::Boolean)
            throw CannotAccess(field, "a date-time");
        return double(value.integer());
    case FieldStorage::Text:
        if (!ParseDateTime(value.text(), result))
            throw NotADateTime(value.text());
        return result;
    case FieldStorage::Bytes:
        if (field.kind == FieldKind::Bytes)
            throw CannotAccess(field, "a date-time");
        if (!ParseDateTime(DecodeAnsiText(value.bytes()), result))
            throw NotADateTime(DecodeAnsiText(value.bytes()));
        return result;
    }
    return 0.0;
}

FieldValue ValueFromString(const FieldDef& field, const QString& text)
{
    switch (field.kind) {
    case FieldKind::WideString:
    case FieldKind::WideMemo:
        return FieldValue::fromText(text);
    case FieldKind::AnsiString:
    case FieldKind::AnsiMemo:
        return FieldValue::fromBytes(EncodeAnsiText(text));
    case FieldKind::Bytes:
        return FieldValue::fromBytes(text.toLatin1());
    case FieldKind::DateTime:
    case FieldKind::Date:
    case FieldKind::Time: {
        double result = 0.0;
        if (!ParseDateTime(text, result))
            throw NotADateTime(text);
        return FieldValue::fromReal(result);
    }
    case FieldKind::Float: {
        bool ok = false;
        double result = text.trimmed().toDouble(&ok);
        if (!ok)
            result = QLocale().toDouble(text.trimmed(), &ok);
        if (!ok || !std::isfinite(result))
            throw TaskStoreError(
                QStringLiteral("'%1' is not a valid floating point value").arg(text));
        return FieldValue::fromReal(result);
    }
    case FieldKind::Boolean:
        if (text.trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return FieldValue::fromInteger(1);
        if (text.trimmed().compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return FieldValue::fromInteger(0);
        return ValueFromInteger(field, ParseInteger(text));
    case FieldKind::Integer:
    case FieldKind::Unsigned:
        return ValueFromInteger(field, ParseInteger(text));
    }
    return FieldValue();
}

FieldValue ValueFromInteger(const FieldDef& field, qint64 value)
{
    switch (field.kind) {
    case FieldKind::WideString:
    case FieldKind::WideMemo:
    case FieldKind::AnsiString:
    case FieldKind::AnsiMemo:
        return ValueFromString(field, QString::number(value));
    case FieldKind::Bytes:
        throw CannotAccess(field, "an integer");
    case FieldKind::DateTime:
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::Float:
        return FieldValue::fromReal(double(value));
    case FieldKind::Boolean:
        return FieldValue::fromInteger(value != 0 ? 1 : 0);
    case FieldKind::Integer:
    case FieldKind::Unsigned:
        CheckRange(field, value);
        return FieldValue::fromInteger(value);
    }
    return FieldValue();
}

FieldValue ValueFromDateTime(const FieldDef& field, double value)
{
    if (!std::isfinite(value))
        throw TaskStoreError(
            QStringLiteral("Invalid date-time value for field '%1'").arg(field.name));
    switch (StorageOf(field.kind)) {
    case FieldStorage::Real:
        return FieldValue::fromReal(value);
    case FieldStorage::Text:
        return FieldValue::fromText(DateTimeText(value));
    case FieldStorage::Bytes:
        if (field.kind == FieldKind::Bytes)
            break;
        return FieldValue::fromBytes(EncodeAnsiText(DateTimeText(value)));
    case FieldStorage::Integer:
        break;
    }
    throw CannotAccess(field, "a date-time");
}

bool ValueFitsField(const FieldDef& field, const FieldValue& value)
{
    if (value.isNull())
        return true;
    switch (StorageOf(field.kind)) {
    case FieldStorage::Text:
        return value.isText();
    case FieldStorage::Bytes:
        return value.isBytes();
    case FieldStorage::Real:
        return value.isReal();
    case FieldStorage::Integer:
        return value.isInteger();
    }
    return false;
}
