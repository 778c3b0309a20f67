#pragma once
// Widgets need one application object for the whole test program.

#include <QApplication>

inline void ensureTestApp()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "htmlview_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

#include <QString>
#include <ostream>

// Readable strings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(QStringView s, std::ostream* os)
{
    *os << '"' << s.toString().toStdString() << '"';
}
