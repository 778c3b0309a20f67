#pragma once
// Lets GoogleTest show QString values (and lists of them) as readable text in failure messages.

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
