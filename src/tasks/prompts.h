#pragma once
// Every modal question the program asks goes through here, so that tests can answer them in
// advance and whole flows run headless. Without scripted answers the real dialogs are shown.
//
// Tests queue answers with the setNext... calls; each queued answer is used by the next call of
// the matching kind and then dropped. Every prompt shown is also recorded (kind, caption, text),
// so a test can check what the user would have seen.

#include <QDate>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;
class QPrinter;
class QFileDialog;
class QFontDialog;
class QPrintDialog;

namespace Prompts {

enum class Kind { Message, Error, Warning, Information, Confirm, OpenFile, SaveFile, Font, Print };

struct Record {
    Kind kind;
    QString caption;
    QString text;
};

// Plain box: OK button, no icon, captioned with the application title.
void message(QWidget* parent, const QString& text);
// "Information" box with the message.
void information(QWidget* parent, const QString& text);
// "Error" box with the message; `details` go behind a details button.
void error(QWidget* parent, const QString& text, const QString& details = {});
// "Warning" box with the message and an OK button: something the user must know, no error.
void warning(QWidget* parent, const QString& text);
// "Confirm" box with Yes and No, No being the default. True for Yes.
bool confirm(QWidget* parent, const QString& text);

// File dialogs: the chosen path, or an empty optional when cancelled. The file name box's
// completion list closes with the dialog and does not come back while it is hidden.
std::optional<QString> openFileName(QFileDialog& dialog);
std::optional<QString> saveFileName(QFileDialog& dialog);
// Font dialog: the chosen font, or empty when cancelled.
std::optional<QFont> font(QFontDialog& dialog);
// Print dialog: true when the user confirmed; the dialog's range fields are left as chosen.
bool print(QPrintDialog& dialog);

// --- scripting (tests) -------------------------------------------------------------------
void setNextConfirm(bool yes);
void setNextFileName(const QString& path); // empty string: cancel
void setNextFont(const std::optional<QFont>& font);
void setNextPrint(bool accept);
// Message, error, warning and information boxes are answered (recorded, not shown) whenever
// scripting is on.
void setScripted(bool on);
bool scripted();
const QList<Record>& shown();
void clearShown();
void reset(); // drops queued answers and records, scripting off

} // namespace Prompts
