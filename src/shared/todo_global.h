#pragma once
// Types and values that every layer of the program shares.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

enum TSortMode : std::uint8_t {
    smCaDePrTiCr = 0,
    smCompletedDesc = 1,
    smDePrTiCr = 2,
    smCreated = 3,
    smPrDeTiCr = 4,
    smTiDePrCr = 5,
};
constexpr TSortMode DefaultSortMode = smDePrTiCr;
constexpr int SortModeCount = 6;

// The name of the table order that belongs to a sort mode ("smDePrTiCr", ...). Empty for a value
// outside the enumeration.
QString SortModeName(int mode);
// The mode named `name`, or -1.
int SortModeFromName(const QString& name);

// "High", "Normal", "Low" for 0, 1, 2; any other value as its decimal number.
QString PriorityName(qint64 priority);

enum TTaskViewFilter : std::uint8_t {
    tvfUncompleted = 0,
    tvfCompleted = 1,
};

// A date-time is a double counting days since 1899-12-30 00:00 local time; the fraction is the
// time of day. NullDate marks "no deadline" and "not completed".
constexpr double NullDate = 999999.0;

inline const QString ProductName = QStringLiteral("Quillmark");
inline const QString ProductWebsite = QStringLiteral("https://quillmark.org");
inline const QString ListFileExtension = QStringLiteral(".qmtd");

// The application title that captions the plain message boxes. It is not the toolkit's
// application display name: the desktop would add that to every window's caption.
extern QString ApplicationTitle;

// The list file signatures. Both have the same length; they differ only in the schema digit.
extern const QByteArray SignatureSchema1;
extern const QByteArray SignatureSchema2;

// The display font of the page and of the task edit dialog's details box.
inline const QString DefaultDisplayFontName = QStringLiteral("Verdana");
constexpr int DefaultDisplayFontSize = 10;
extern QString DisplayFontName;
extern int DisplayFontSize;

// Recently opened lists, newest first, and the list to reopen at the next start.
constexpr int MaxRecentFiles = 10;
extern QStringList RecentFiles;
extern QString LastOpenFileName;

// Records a successfully opened list: it becomes LastOpenFileName and moves to the top of
// RecentFiles, replacing entries that differ from it only in the case of ASCII letters.
void AddRecentFile(const QString& fileName);

// Lower-cases ASCII letters A to Z only, leaving every other character as it is.
QString AsciiLower(const QString& text);
