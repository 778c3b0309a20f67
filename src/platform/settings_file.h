#pragma once
// The text of the settings file that stands in for the registry where there is none: sections
// of typed values, read and rewritten line by line so that whatever a person wrote into the file
// (comments, blank lines, values of types the program does not know) stays where it was.
//
//     ; a comment
//     [Settings]
//     RecentOpenFiles=sz:"/home/me/Work.qmtd,\"/home/me/a,b.qmtd\""
//     LastOpenFile=sz:"/home/me/caf\xE9.qmtd"
//     FTaskSortMode=dword:2
//
// String bodies are quoted with C-like escapes (\\ \" \n \r \t \uXXXX) and \xHH for a byte of a
// file name that is not UTF-8 (platform/file_names.h), so that such a name comes back byte for
// byte while the file itself stays UTF-8 text. Raw bytes that are not UTF-8 are read the same way.
// A value with a type tag other than sz, expand_sz or dword is kept as it is and reads as
// SettingsValue::Type::Other. Section and value names are matched without regard to case.
//
// A file that cannot be read whole still gives every entry that can be read: a broken section
// header still names its section, a string whose closing quote is missing runs to the end of its
// line, a value without a type tag is text. problems() then says, line by line, what was wrong,
// and bytes() writes those lines mended, or as comments where nothing could be read from them.
//
//     SettingsFileContent content = SettingsFileContent::parse(bytes);
//     content.setValue("Settings", "FTaskSortMode", value);
//     save(content.bytes());

#include "platform/settings_backend.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class SettingsFileContent {
public:
    static SettingsFileContent parse(const QByteArray& bytes);

    // The value, or nothing when the section or the value does not exist.
    std::optional<SettingsValue> value(const QString& section, const QString& name) const;
    // Creates the section when needed and replaces the value.
    void setValue(const QString& section, const QString& name, const SettingsValue& value);

    // Every value that can be read, as section and name, in file order.
    QList<std::pair<QString, QString>> valueNames() const;

    // What could not be read as it stood, one entry a line: "line 3: ...". Empty for a file that
    // was read whole.
    const QStringList& problems() const { return FProblems; }

    // The file to write: lines as they were, except those changed or mended.
    QByteArray bytes() const;

private:
    struct Line {
        enum class Kind { Verbatim, Header, Value, Unreadable };
        Kind kind = Kind::Verbatim;
        QString text;         // as found, without the line end
        QString name;         // the section of a header, the name of a value
        SettingsValue value;  // of a value line
        bool written = false; // written afresh instead of as found
    };

    void addProblem(qsizetype lineIndex, const QString& what);

    QList<Line> FLines;
    QStringList FProblems;
};
