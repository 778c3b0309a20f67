#pragma once
// Widgets need one application object for the whole test program.

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

inline void ensureTestApp()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "htmlview_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// A mouse event sent straight to a widget (no pointer moves, no enter or leave).
inline void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
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
