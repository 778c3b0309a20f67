#pragma once
// How the task edit dialog reads and writes its texts.

#include <QString>

// Removes every leading and trailing character of code 32 or less (blanks, tabs, line breaks and
// other control characters). Unlike QString::trimmed it keeps non-breaking spaces.
QString TrimControlChars(const QString& text);

// Details as a multi-line text control holds them: every line break (CR LF, CR or LF) as "\n".
QString DetailsToEditorText(const QString& details);
// The control's text back as stored details: lines separated by CR LF, nothing added at the end.
// Accepts both "\n" and the paragraph separator U+2029 of a raw document text.
QString EditorTextToDetails(const QString& text);
