#pragma once
// Line breaks in a task's details. The list stores them as CR LF, which the page turns into line
// breaks; texts from elsewhere (a text control, a command line, another program's file) may break
// their lines with LF, CR or the paragraph separator U+2029.

#include <QString>

// Every line break (CR LF, CR, LF or U+2029) as CR LF.
QString DetailsWithCrLf(const QString& text);
// Every line break (CR LF or CR) as LF.
QString DetailsWithLf(const QString& details);
