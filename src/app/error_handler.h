#pragma once
// The last line of defence: an error that escapes a command or an event handler is shown in an
// "Error" box, with the details a bug report needs behind a button, and the program goes on in
// the state it had reached.

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>

// The text the user sees for an error: the message it carries.
QString ErrorMessage(const std::exception& error);
// Version, platform and the operation that failed, for the details part of the box.
QString ErrorDetails(const QString& operation);
// Shows the error box; it never throws.
void ReportError(const QString& message, const QString& operation);

// Runs `handler`; an error escaping it is reported instead of propagating. True when it ran
// to its end.
bool RunGuarded(const QString& operation, const std::function<void()>& handler);

// Delivers every event inside a guard, so that nothing a handler throws ends the program.
class TQuillmarkApplication : public QApplication {
    Q_OBJECT
public:
    TQuillmarkApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
