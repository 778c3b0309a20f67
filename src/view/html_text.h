#pragma once
// Small pieces of page markup: captions, priority names, escaping, and task details made safe
// for the page with their web addresses linked.

#include "shared/todo_global.h"

#include <QString>

// "<span style="font-size:smaller">text<br></span>": the caption line above a value in a cell.
QString SmallCaption(const QString& text);
// Appends SmallCaption(text) to `out` without building a temporary.
void AppendSmallCaption(QString& out, QStringView text);

// Escapes &, <, > and " so that a user's text cannot be read as markup.
QString EscapeHtml(const QString& text);
void AppendEscapedHtml(QString& out, QStringView text);

// The details text escaped, "http://" and "https://" addresses (prefix in any letter case)
// turned into links, and CR LF pairs turned into "<br>".
QString DetailsToHtml(const QString& text);
