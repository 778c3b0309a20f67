#include "platform/settings_backend.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <cstring>
#include <vector>
#include <windows.h>
#ifdef _MSC_VER
#pragma comment(lib, "advapi32")
#endif
#else
#include <QFile>
#include <QList>
#include <QSaveFile>
#endif

QString DefaultSettingsFilePath()
{
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        folder = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(folder) + QStringLiteral("/Quillmark/Quillmark ToDo.conf");
}

#ifdef Q_OS_WIN

namespace {

const wchar_t* wide(const QString& text)
{
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString systemMessage(LONG code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, length).trimmed()
                          : QStringLiteral("error %1").arg(code);
    if (buffer)
        LocalFree(buffer);
    return text;
}

// Closes a subkey when it goes out of scope.
struct KeyHolder {
    HKEY key = nullptr;
    ~KeyHolder()
    {
        if (key)
            RegCloseKey(key);
    }
};

} // namespace

struct SettingsBackend::Impl {
    QString location;
    HKEY base = nullptr;

    ~Impl()
    {
        if (base)
            RegCloseKey(base);
    }

    HKEY createSection(const QString& section)
    {
        HKEY key = nullptr;
        const LONG rc = RegCreateKeyExW(base, wide(section), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS)
            throw SettingsError(QStringLiteral("Failed to create key %1\\%2: %3")
                                    .arg(location, section, systemMessage(rc)));
        return key;
    }

    void setValue(const QString& section, const QString& name, DWORD type, const BYTE* data,
                  DWORD size)
    {
        KeyHolder sub{createSection(section)};
        const LONG rc = RegSetValueExW(sub.key, wide(name), 0, type, data, size);
        if (rc != ERROR_SUCCESS)
            throw SettingsError(
                QStringLiteral("Failed to set data for '%1': %2").arg(name, systemMessage(rc)));
    }
};

SettingsBackend::SettingsBackend() : SettingsBackend(QStringLiteral("Software\\Quillmark ToDo"))
{
}

SettingsBackend::SettingsBackend(const QString& location) : FImpl(std::make_unique<Impl>())
{
    FImpl->location = location;
}

SettingsBackend::~SettingsBackend() = default;

QString SettingsBackend::location() const
{
    return FImpl->location;
}

void SettingsBackend::open()
{
    if (FImpl->base)
        return;
    const LONG rc =
        RegCreateKeyExW(HKEY_CURRENT_USER, wide(FImpl->location), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &FImpl->base, nullptr);
    if (rc != ERROR_SUCCESS) {
        FImpl->base = nullptr;
        throw SettingsError(
            QStringLiteral("Failed to create key %1: %2").arg(FImpl->location, systemMessage(rc)));
    }
}

std::optional<SettingsValue> SettingsBackend::read(const QString& section, const QString& name)
{
    open();
    KeyHolder sub;
    LONG rc = RegOpenKeyExW(FImpl->base, wide(section), 0, KEY_READ, &sub.key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (rc != ERROR_SUCCESS)
        throw SettingsError(QStringLiteral("Failed to open key %1\\%2: %3")
                                .arg(FImpl->location, section, systemMessage(rc)));

    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    for (;;) {
        rc = RegQueryValueExW(sub.key, wide(name), nullptr, &type,
                              data.empty() ? nullptr : data.data(), &size);
        if (rc == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && data.size() < size)) {
            // The value grew between the two calls, or this was the size query.
            data.assign(size + sizeof(wchar_t), 0);
            size = static_cast<DWORD>(data.size());
            continue;
        }
        if (rc != ERROR_SUCCESS)
            throw SettingsError(
                QStringLiteral("Failed to get data for '%1': %2").arg(name, systemMessage(rc)));
        break;
    }

    SettingsValue value;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        // Stored strings need not end with a null character; read what is there, without
        // expanding variables.
        qsizetype length = static_cast<qsizetype>(size / sizeof(wchar_t));
        const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
        while (length > 0 && chars[length - 1] == L'\0')
            --length;
        value.type = SettingsValue::Type::String;
        value.text = QString::fromWCharArray(chars, length);
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, data.data(), sizeof number);
        value.type = SettingsValue::Type::Integer;
        value.number = static_cast<qint32>(number);
    }
    return value;
}

void SettingsBackend::writeString(const QString& section, const QString& name, const QString& text)
{
    open();
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    FImpl->setValue(section, name, REG_SZ, reinterpret_cast<const BYTE*>(wide(text)), size);
}

void SettingsBackend::writeInteger(const QString& section, const QString& name, qint32 number)
{
    open();
    const DWORD data = static_cast<DWORD>(number);
    FImpl->setValue(section, name, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

#else // a settings file

namespace {

const QString stringTag = QStringLiteral("sz");
const QString expandStringTag = QStringLiteral("expand_sz");
const QString integerTag = QStringLiteral("dword");

struct FileValue {
    QString name;
    SettingsValue value;
    QString raw; // the text after '=' of a value of another type, kept as found
};

struct FileSection {
    QString name;
    QList<FileValue> values;
};

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section named `name` (names are unique ignoring case), or nullptr.
FileSection* findSection(QList<FileSection>& sections, const QString& name)
{
    for (FileSection& section : sections)
        if (sameName(section.name, name))
            return &section;
    return nullptr;
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
        // A lone surrogate cannot be written as UTF-8; escape it so it survives unchanged.
        if (needsEscape(c) || QChar::isSurrogate(c))
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            out += text[i];
    }
    out += u'"';
    return out;
}

// Reads a quoted string starting at text[pos] == '"'. On success `pos` is just past the
// closing quote.
std::optional<QString> unquoted(const QString& text, qsizetype& pos)
{
    if (pos >= text.size() || text[pos] != u'"')
        return std::nullopt;
    QString out;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            pos = i + 1;
            return out;
        }
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++i >= text.size())
            return std::nullopt;
        const char16_t letter = text[i].unicode();
        if (const char16_t plain = escapedCharOf(letter)) {
            out += QChar(plain);
            continue;
        }
        if (letter != u'u' || i + 4 >= text.size())
            return std::nullopt;
        char16_t code = 0;
        for (int k = 1; k <= 4; ++k) {
            const int digit = QStringLiteral("0123456789abcdef").indexOf(text[i + k].toLower());
            if (digit < 0)
                return std::nullopt;
            code = char16_t(code * 16 + digit);
        }
        out += QChar(code);
        i += 4;
    }
    return std::nullopt; // no closing quote
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

SettingsValue parseBody(const QString& body, QString& raw)
{
    raw = body;
    SettingsValue value;
    const qsizetype colon = body.indexOf(u':');
    if (colon < 0)
        return value;
    const QString tag = body.left(colon).trimmed();
    if (sameName(tag, stringTag) || sameName(tag, expandStringTag)) {
        qsizetype pos = colon + 1;
        const std::optional<QString> text = unquoted(body, pos);
        if (text && body.mid(pos).trimmed().isEmpty()) {
            value.type = SettingsValue::Type::String;
            value.text = *text;
        }
    } else if (sameName(tag, integerTag)) {
        if (const std::optional<qint32> number = parseDword(QStringView(body).mid(colon + 1))) {
            value.type = SettingsValue::Type::Integer;
            value.number = *number;
        }
    }
    return value;
}

QString writtenBody(const FileValue& entry)
{
    switch (entry.value.type) {
    case SettingsValue::Type::String:
        return stringTag + u':' + quoted(entry.value.text);
    case SettingsValue::Type::Integer:
        return integerTag + u':' + QString::number(entry.value.number);
    case SettingsValue::Type::Other:
        break;
    }
    return entry.raw;
}

// A name at the start of `line`: quoted, or the text up to `stop` (trimmed). On success `pos`
// is just past it.
std::optional<QString> parseName(const QString& line, qsizetype& pos, QChar stop)
{
    if (pos < line.size() && line[pos] == u'"')
        return unquoted(line, pos);
    const qsizetype end = line.indexOf(stop, pos);
    if (end < 0)
        return std::nullopt;
    const QString name = line.mid(pos, end - pos).trimmed();
    pos = end;
    return name;
}

QList<FileSection> parseFile(const QString& content)
{
    QList<FileSection> sections;
    FileSection* current = nullptr;
    for (QString line : content.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#'))
            continue;
        if (trimmed.startsWith(u'[')) {
            current = nullptr;
            qsizetype pos = 1;
            const std::optional<QString> name = parseName(trimmed, pos, u']');
            if (!name || pos >= trimmed.size() || trimmed[pos] != u']' ||
                !trimmed.mid(pos + 1).trimmed().isEmpty())
                continue; // a broken header: skip its values rather than misfile them
            current = findSection(sections, *name);
            if (!current) {
                sections.append(FileSection{*name, {}});
                current = &sections.back();
            }
            continue;
        }
        if (!current)
            continue;
        qsizetype pos = 0;
        const std::optional<QString> name = parseName(trimmed, pos, u'=');
        if (!name)
            continue;
        while (pos < trimmed.size() && trimmed[pos].isSpace())
            ++pos;
        if (pos >= trimmed.size() || trimmed[pos] != u'=')
            continue;
        const QString body = trimmed.mid(pos + 1).trimmed();
        bool known = false;
        for (const FileValue& existing : current->values)
            known = known || sameName(existing.name, *name);
        if (known)
            continue; // the first of two equal names wins
        FileValue entry;
        entry.name = *name;
        entry.value = parseBody(body, entry.raw);
        current->values.append(entry);
    }
    return sections;
}

QByteArray writtenFile(const QList<FileSection>& sections)
{
    QString out = QStringLiteral("; Quillmark settings. Values: sz:\"text\" or dword:number.\n");
    for (const FileSection& section : sections) {
        out += u'\n';
        out += u'[' + writtenName(section.name) + QStringLiteral("]\n");
        for (const FileValue& entry : section.values)
            out += writtenName(entry.name) + u'=' + writtenBody(entry) + u'\n';
    }
    return out.toUtf8();
}

} // namespace

struct SettingsBackend::Impl {
    QString location;
    bool opened = false;

    QList<FileSection> load() const
    {
        QFile file(location);
        if (!file.exists())
            return {};
        if (!file.open(QIODevice::ReadOnly))
            throw SettingsError(QStringLiteral("Cannot read the settings file %1: %2")
                                    .arg(QDir::toNativeSeparators(location), file.errorString()));
        return parseFile(QString::fromUtf8(file.readAll()));
    }

    void save(const QList<FileSection>& sections) const
    {
        QSaveFile file(location);
        if (!file.open(QIODevice::WriteOnly) || file.write(writtenFile(sections)) < 0 ||
            !file.commit())
            throw SettingsError(QStringLiteral("Cannot write the settings file %1: %2")
                                    .arg(QDir::toNativeSeparators(location), file.errorString()));
    }

    // Reads the file afresh before each change, so values written meanwhile by another
    // instance of the program are kept, as they would be in the registry.
    void write(const QString& section, const FileValue& entry)
    {
        QList<FileSection> sections = load();
        FileSection* target = findSection(sections, section);
        if (!target) {
            sections.append(FileSection{section, {}});
            target = &sections.back();
        }
        bool replaced = false;
        for (FileValue& value : target->values)
            if (!replaced && sameName(value.name, entry.name)) {
                value.value = entry.value;
                replaced = true;
            }
        if (!replaced)
            target->values.append(entry);
        save(sections);
    }
};

SettingsBackend::SettingsBackend() : SettingsBackend(QString())
{
}

SettingsBackend::SettingsBackend(const QString& location) : FImpl(std::make_unique<Impl>())
{
    FImpl->location = location;
}

SettingsBackend::~SettingsBackend() = default;

QString SettingsBackend::location() const
{
    return FImpl->location.isEmpty() ? DefaultSettingsFilePath() : FImpl->location;
}

void SettingsBackend::open()
{
    if (FImpl->opened)
        return;
    if (FImpl->location.isEmpty())
        FImpl->location = DefaultSettingsFilePath();
    const QFileInfo info(FImpl->location);
    if (!QDir().mkpath(info.absolutePath()))
        throw SettingsError(QStringLiteral("Cannot create the settings folder %1")
                                .arg(QDir::toNativeSeparators(info.absolutePath())));
    if (!info.exists()) {
        QFile file(FImpl->location);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !file.exists())
            throw SettingsError(
                QStringLiteral("Cannot create the settings file %1: %2")
                    .arg(QDir::toNativeSeparators(FImpl->location), file.errorString()));
    }
    FImpl->opened = true;
}

std::optional<SettingsValue> SettingsBackend::read(const QString& section, const QString& name)
{
    open();
    for (const FileSection& s : FImpl->load())
        if (sameName(s.name, section))
            for (const FileValue& value : s.values)
                if (sameName(value.name, name))
                    return value.value;
    return std::nullopt;
}

void SettingsBackend::writeString(const QString& section, const QString& name, const QString& text)
{
    open();
    FileValue entry;
    entry.name = name;
    entry.value.type = SettingsValue::Type::String;
    entry.value.text = text;
    FImpl->write(section, entry);
}

void SettingsBackend::writeInteger(const QString& section, const QString& name, qint32 number)
{
    open();
    FileValue entry;
    entry.name = name;
    entry.value.type = SettingsValue::Type::Integer;
    entry.value.number = number;
    FImpl->write(section, entry);
}

#endif
