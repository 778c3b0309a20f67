#include "platform/settings_file.h"

#include "platform/file_names.h"

#include <QHash>

namespace {

const QString stringTag = QStringLiteral("sz");
const QString expandStringTag = QStringLiteral("expand_sz");
const QString integerTag = QStringLiteral("dword");
// The first line of a file the program writes from nothing.
const QString fileComment =
    QStringLiteral("; Quillmark settings. Values: sz:\"text\" or dword:number.");
// What stands before a line that nothing could be read from, when the file is written again.
const QString unreadableMark = QStringLiteral("; unreadable: ");

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool needsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

// Characters written in quotes as a backslash and a letter: the character, then its letter.
constexpr std::pair<char16_t, char16_t> letterEscapes[] = {
    {u'\\', u'\\'}, {u'"', u'"'}, {u'\n', u'n'}, {u'\r', u'r'}, {u'\t', u't'},
};

// The letter that escapes `c`, or 0.
char16_t escapeLetterOf(char16_t c)
{
    for (const auto& [plain, letter] : letterEscapes)
        if (plain == c)
            return letter;
    return 0;
}

// The character that the escape letter `letter` stands for, or 0.
char16_t escapedCharOf(char16_t letter)
{
    for (const auto& [plain, escape] : letterEscapes)
        if (escape == letter)
            return plain;
    return 0;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The number written by `digits` hexadecimal digits at text[at], or -1.
int hexNumber(const QString& text, qsizetype at, int digits)
{
    if (text.size() - at < digits)
        return -1;
    int number = 0;
    for (int k = 0; k < digits; ++k) {
        const int digit = hexDigit(text[at + k]);
        if (digit < 0)
            return -1;
        number = number * 16 + digit;
    }
    return number;
}

QString quoted(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (const char16_t letter = escapeLetterOf(c)) {
            out += u'\\';
            out += letter;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += text[i];
            out += text[++i];
            continue;
        }
        // A byte of a file name that is not UTF-8 (a lone U+DC80..U+DCFF), as \xHH.
        if (c >= 0xDC80 && c <= 0xDCFF)
            out += QStringLiteral("\\x") + QString::number(c - 0xDC00, 16).toUpper();
        // A lone surrogate cannot be written as UTF-8; escape it so it survives unchanged.
        else if (needsEscape(c) || QChar::isSurrogate(c))
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            out += text[i];
    }
    out += u'"';
    return out;
}

// What reading a quoted string found.
struct Unquoted {
    QString text;
    qsizetype end = 0;   // just past the closing quote, or the end of the text
    bool closed = false; // the closing quote was there
    bool exact = true;   // every escape was one the writer writes
};

// Reads a quoted string starting at text[pos] == '"'. An escape that is not one of ours is taken
// as it stands, and without a closing quote the string runs to the end; `exact` and `closed` tell.
Unquoted unquote(const QString& text, qsizetype pos)
{
    Unquoted result;
    QString& out = result.text;
    qsizetype i = pos + 1;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            result.closed = true;
            ++i;
            break;
        }
        if (c != u'\\') {
            out += c;
            continue;
        }
        const char16_t letter = i + 1 < text.size() ? text[i + 1].unicode() : 0;
        if (const char16_t plain = letter ? escapedCharOf(letter) : 0) {
            out += QChar(plain);
            ++i;
            continue;
        }
        const int code = letter == u'u'   ? hexNumber(text, i + 2, 4)
                         : letter == u'x' ? hexNumber(text, i + 2, 2)
                                          : -1;
        if (code < 0) {
            out += c; // the backslash stands for itself
            result.exact = false;
            continue;
        }
        // \xHH of a byte above 0x7F is that byte of a file name, kept as file_names.h keeps it.
        out += letter == u'x' && code >= 0x80 ? DecodeFileName(QByteArray(1, char(code)))
                                              : QString(QChar(char16_t(code)));
        i += letter == u'u' ? 5 : 3;
    }
    result.end = i;
    return result;
}

// Names that can stand in the file without quotes.
bool isBareName(const QString& name)
{
    if (name.isEmpty() || name.front().isSpace() || name.back().isSpace())
        return false;
    for (const QChar c : name)
        if (needsEscape(c.unicode()) || c.isSurrogate() || QStringLiteral("=[]\";#\\").contains(c))
            return false;
    return true;
}

QString writtenName(const QString& name)
{
    return isBareName(name) ? name : quoted(name);
}

std::optional<qint32> parseDword(QStringView text)
{
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok, 10);
    if (!ok || text.isEmpty() || text.front() == u'+' || text.front().isSpace() ||
        text.back().isSpace() || number < -2147483648LL || number > 4294967295LL)
        return std::nullopt;
    return static_cast<qint32>(static_cast<quint32>(number));
}

// A type tag such as sz, dword, binary or hex(7); anything else before a colon is not one.
bool isTypeTag(const QString& tag)
{
    if (tag.isEmpty())
        return false;
    for (const QChar c : tag)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'_' && c != u'(' && c != u')')
            return false;
    return true;
}

// A name at the start of `line`: quoted, or the text up to `stop` (trimmed), or up to the end
// when `stop` is missing and `toEnd` allows it. On success `pos` is just past it.
std::optional<QString> parseName(const QString& line, qsizetype& pos, QChar stop, bool toEnd)
{
    if (pos < line.size() && line[pos] == u'"') {
        const Unquoted name = unquote(line, pos);
        if (!name.closed || !name.exact)
            return std::nullopt;
        pos = name.end;
        return name.text;
    }
    qsizetype end = line.indexOf(stop, pos);
    if (end < 0) {
        if (!toEnd)
            return std::nullopt;
        end = line.size();
    }
    const QString name = line.mid(pos, end - pos).trimmed();
    pos = end;
    return name;
}

// A line for a message: trimmed, cut short, every byte that is not UTF-8 as \xHH.
QString shown(const QString& line)
{
    QString text = PrintableFileName(line.trimmed());
    if (text.size() > 40)
        text = text.left(37) + QStringLiteral("...");
    return text;
}

struct Body {
    SettingsValue value;
    bool readable = true;
    QString problem; // set when the body was not as the writer writes it
};

Body parseBody(const QString& body)
{
    Body result;
    SettingsValue& value = result.value;
    const qsizetype colon = body.indexOf(u':');
    const QString tag = colon < 0 ? QString() : body.left(colon).trimmed();
    if (!isTypeTag(tag)) {
        // A value someone wrote without its type: it can only be text.
        value.type = SettingsValue::Type::String;
        if (body.startsWith(u'"')) {
            const Unquoted text = unquote(body, 0);
            value.text = text.text;
        } else {
            value.text = body;
        }
        result.problem = QStringLiteral("a value without a type, read as text");
        return result;
    }
    qsizetype pos = colon + 1;
    if (sameName(tag, stringTag) || sameName(tag, expandStringTag)) {
        while (pos < body.size() && body[pos].isSpace())
            ++pos;
        value.type = SettingsValue::Type::String;
        if (pos >= body.size() || body[pos] != u'"') {
            value.text = body.mid(pos);
            result.problem = QStringLiteral("text without quotes, read as it stands");
            return result;
        }
        const Unquoted text = unquote(body, pos);
        value.text = text.text;
        if (!text.closed)
            result.problem = QStringLiteral("text without its closing quote, read to the end of "
                                            "the line");
        else if (!text.exact)
            result.problem = QStringLiteral("an unknown escape, read as it stands");
        else if (text.end < body.size())
            result.problem = QStringLiteral("more after the closing quote, left out");
        return result;
    }
    if (sameName(tag, integerTag)) {
        if (const std::optional<qint32> number = parseDword(QStringView(body).mid(pos))) {
            value.type = SettingsValue::Type::Integer;
            value.number = *number;
        } else {
            result.readable = false;
            result.problem = QStringLiteral("a number that cannot be read");
        }
        return result;
    }
    value.type = SettingsValue::Type::Other; // someone else's type: kept as it is
    return result;
}

QString writtenBody(const SettingsValue& value)
{
    switch (value.type) {
    case SettingsValue::Type::String:
        return stringTag + u':' + quoted(value.text);
    case SettingsValue::Type::Integer:
        return integerTag + u':' + QString::number(value.number);
    case SettingsValue::Type::Other:
        break;
    }
    return {};
}

} // namespace

void SettingsFileContent::addProblem(qsizetype lineIndex, const QString& what)
{
    FProblems.append(QStringLiteral("line %1 (%2): %3")
                         .arg(lineIndex + 1)
                         .arg(shown(FLines[lineIndex].text), what));
}

SettingsFileContent SettingsFileContent::parse(const QByteArray& bytes)
{
    SettingsFileContent content;
    QString text = DecodeFileName(bytes);
    if (text.startsWith(QChar(0xFEFF))) // the mark some editors put first
        text.remove(0, 1);
    QList<QStringView> lines = QStringView(text).split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();         // the end of the last line
    std::optional<QString> section; // of the header above, if there is a readable one
    QHash<QString, qsizetype> seen; // section and value names, folded: where first given
    for (QStringView raw : lines) {
        while (raw.endsWith(u'\r')) // CR LF line ends, and stray CRs before them
            raw.chop(1);
        const qsizetype index = content.FLines.size();
        content.FLines.append(Line{Line::Kind::Verbatim, raw.toString(), {}, {}, false});
        Line& line = content.FLines.back();
        const QString trimmed = line.text.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#'))
            continue;

        const bool header =
            trimmed.startsWith(u'[') || (trimmed.endsWith(u']') && !trimmed.contains(u'='));
        if (header) {
            // A header with a bracket missing or more behind it still names its section, so
            // that its values are not lost.
            qsizetype pos = trimmed.startsWith(u'[') ? 1 : 0;
            while (pos < trimmed.size() && trimmed[pos].isSpace())
                ++pos;
            const std::optional<QString> name = parseName(trimmed, pos, u']', true);
            const bool exact = trimmed.startsWith(u'[') && pos < trimmed.size() &&
                               trimmed[pos] == u']' && trimmed.mid(pos + 1).trimmed().isEmpty();
            section.reset();
            if (!name || (name->isEmpty() && !exact)) {
                line.kind = Line::Kind::Unreadable;
                content.addProblem(index, QStringLiteral("a section header that cannot be read; "
                                                         "the values below it are left out"));
                continue;
            }
            line.kind = Line::Kind::Header;
            line.name = *name;
            section = *name;
            if (!exact) {
                line.written = true;
                content.addProblem(index, QStringLiteral("a broken section header, read as [%1]")
                                              .arg(PrintableFileName(*name)));
            }
            continue;
        }

        qsizetype pos = 0;
        const std::optional<QString> name = parseName(trimmed, pos, u'=', false);
        if (!name || pos >= trimmed.size() || trimmed[pos] != u'=') {
            line.kind = Line::Kind::Unreadable;
            content.addProblem(index, QStringLiteral("not a setting"));
            continue;
        }
        if (!section) {
            line.kind = Line::Kind::Unreadable;
            content.addProblem(index, QStringLiteral("a setting outside any section"));
            continue;
        }
        const QString key = section->toCaseFolded() + u'\n' + name->toCaseFolded();
        if (seen.contains(key)) {
            line.kind = Line::Kind::Unreadable;
            content.addProblem(index, QStringLiteral("%1 a second time; the one on line %2 counts")
                                          .arg(PrintableFileName(*name))
                                          .arg(seen.value(key) + 1));
            continue;
        }
        const Body body = parseBody(trimmed.mid(pos + 1).trimmed());
        if (!body.readable) {
            line.kind = Line::Kind::Unreadable;
            content.addProblem(index, body.problem);
            continue;
        }
        seen.insert(key, index);
        line.kind = Line::Kind::Value;
        line.name = *name;
        line.value = body.value;
        if (!body.problem.isEmpty()) {
            line.written = true;
            content.addProblem(index, body.problem);
        }
    }
    return content;
}

std::optional<SettingsValue> SettingsFileContent::value(const QString& section,
                                                        const QString& name) const
{
    bool inSection = false;
    for (const Line& line : FLines) {
        if (line.kind == Line::Kind::Header)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Line::Kind::Value && sameName(line.name, name))
            return line.value;
    }
    return std::nullopt;
}

QList<std::pair<QString, QString>> SettingsFileContent::valueNames() const
{
    QList<std::pair<QString, QString>> names;
    QString section;
    for (const Line& line : FLines) {
        if (line.kind == Line::Kind::Header)
            section = line.name;
        else if (line.kind == Line::Kind::Value)
            names.append({section, line.name});
    }
    return names;
}

void SettingsFileContent::setValue(const QString& section, const QString& name,
                                   const SettingsValue& value)
{
    // A new value goes after the last value of the section's first block.
    qsizetype insertAt = -1;
    bool inSection = false;
    bool firstBlock = false;
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        Line& line = FLines[i];
        if (line.kind == Line::Kind::Header) {
            inSection = sameName(line.name, section);
            firstBlock = inSection && insertAt < 0;
            if (firstBlock)
                insertAt = i + 1;
        } else if (inSection && line.kind == Line::Kind::Value) {
            if (sameName(line.name, name)) {
                line.value = value;
                line.written = true;
                return;
            }
            if (firstBlock)
                insertAt = i + 1;
        }
    }
    const Line entry{Line::Kind::Value, QString(), name, value, true};
    if (insertAt >= 0) {
        FLines.insert(insertAt, entry);
        return;
    }
    if (FLines.isEmpty())
        FLines.append(Line{Line::Kind::Verbatim, fileComment, {}, {}, false});
    if (!FLines.back().text.trimmed().isEmpty())
        FLines.append(Line{Line::Kind::Verbatim, QString(), {}, {}, false});
    FLines.append(Line{Line::Kind::Header, QString(), section, {}, true});
    FLines.append(entry);
}

QByteArray SettingsFileContent::bytes() const
{
    QString out;
    for (const Line& line : FLines) {
        switch (line.kind) {
        case Line::Kind::Verbatim:
            out += line.text;
            break;
        case Line::Kind::Header:
            out += line.written ? u'[' + writtenName(line.name) + u']' : line.text;
            break;
        case Line::Kind::Value:
            out +=
                line.written ? writtenName(line.name) + u'=' + writtenBody(line.value) : line.text;
            break;
        case Line::Kind::Unreadable:
            out += unreadableMark + line.text.trimmed();
            break;
        }
        out += u'\n';
    }
    // Bytes of file names that are not UTF-8 and stood outside quotes go back as they came.
    return EncodeFileName(out);
}
