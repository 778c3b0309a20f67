#pragma once
// The page shown to a user who has no to-do list yet.

#include <QString>

// The greeting page's text, every line followed by CR LF, with `styleSheet` in its style element.
QString GreetingPageText(const QString& styleSheet);
