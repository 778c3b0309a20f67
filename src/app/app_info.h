#pragma once
// The program's version and the addresses it points the user to.

#include "shared/todo_global.h"

#include <QString>

// The program file's version, set by the build.
QString FileVersion();

inline const QString ProductWebsiteUrl = ProductWebsite;
inline const QString ProductWebsiteHost = QStringLiteral("quillmark.org");
inline const QString MakerWebsiteUrl = QStringLiteral("https://quillmark.org/about");
inline const QString MakerWebsiteHost = QStringLiteral("quillmark.org/about");
inline const QString SupportMailAddress = QStringLiteral("support@quillmark.org");

// "mailto:<address>?subject=<product name, spaces as %20>%20<version>".
QString SupportMailLink(const QString& version);

// Where the help lives: on Windows the .chm beside the program (its path with the last three
// characters replaced); elsewhere help/index.html in the program's data folder.
QString HelpFilePath(const QString& programPath);
