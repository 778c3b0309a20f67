#pragma once
// Text for a terminal: what a stored text may not send to it, how wide it shows, and cutting it
// to a width.

#include <QString>

// The text on one line and harmless to a terminal: tabs and line breaks become spaces, other
// control characters (which could move the cursor or change colours) become U+FFFD.
QString LineText(const QString& text);

// How many terminal columns the text takes: 0 for combining marks and other zero-width
// characters, 2 for East Asian wide and full-width characters, 1 for the rest.
int DisplayWidth(const QString& text);

// The text cut to at most `width` columns, ending in "…" when anything was cut.
QString CutToWidth(const QString& text, int width);

// The text padded with spaces on the right to `width` columns.
QString PadToWidth(const QString& text, int width);
