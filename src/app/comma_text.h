#pragma once
// The comma text that keeps the recent-files list in one setting value.
//
//     QString text = CommaText(RecentFiles);       // a,"b,c",d
//     RecentFiles = ParseCommaText(text);
//
// Commas alone separate entries; spaces and control characters are ordinary characters. An
// entry holding a comma or a double quote is written in double quotes with inner quotes
// doubled. A list of one empty entry is written as two double quotes, so that it does not read
// back as an empty list.

#include <QString>
#include <QStringList>

QString CommaText(const QStringList& entries);
QStringList ParseCommaText(const QString& text);
