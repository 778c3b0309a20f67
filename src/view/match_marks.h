#pragma once
// Marks on the page for the parts of a task's texts that a filter matched:
// <span class="match">...</span>, coloured by the style rule MatchMarkStyle gives.

#include "view/search_text.h"

#include <QString>
#include <vector>

// Appends `text` escaped as the page escapes a user's text, with each stretch of `marks` (in
// order, not overlapping) inside a mark.
void AppendMarkedText(QString& out, const QString& text, const std::vector<TextRange>& marks);

// Puts marks into `html`, markup whose visible text is `text` (entities standing for one
// character, <br> for a CR LF pair). A mark never holds a tag or cuts an entity: it is closed
// before a tag and opened again after it, so links keep their addresses and nest around marks.
// Where the markup does not spell out `text`, it comes back without marks.
QString MarkHtml(const QString& html, const QString& text, const std::vector<TextRange>& marks);
