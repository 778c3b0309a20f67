#include "tasks/prompts.h"

#include "shared/todo_global.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPushButton>
#include <deque>

namespace Prompts {
namespace {

struct State {
    bool scripted = false;
    std::deque<bool> confirms;
    std::deque<QString> fileNames;
    std::deque<std::optional<QFont>> fonts;
    std::deque<bool> prints;
    QList<Record> shown;
};

State& state()
{
    static State s;
    return s;
}

void record(Kind kind, const QString& caption, const QString& text)
{
    state().shown.append(Record{kind, caption, text});
}

QString applicationTitle()
{
    return ApplicationTitle.isEmpty() ? ProductName : ApplicationTitle;
}

template <typename T> T takeNext(std::deque<T>& queue, const char* what)
{
    if (queue.empty())
        throw std::logic_error(std::string("No scripted answer for the ") + what + " prompt");
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

} // namespace

void message(QWidget* parent, const QString& text)
{
    const QString caption = applicationTitle();
    record(Kind::Message, caption, text);
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void information(QWidget* parent, const QString& text)
{
    const QString caption = QStringLiteral("Information");
    record(Kind::Information, caption, text);
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void error(QWidget* parent, const QString& text, const QString& details)
{
    const QString caption = QStringLiteral("Error");
    record(Kind::Error, caption, text);
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

void warning(QWidget* parent, const QString& text)
{
    const QString caption = QStringLiteral("Warning");
    record(Kind::Warning, caption, text);
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool confirm(QWidget* parent, const QString& text)
{
    const QString caption = QStringLiteral("Confirm");
    record(Kind::Confirm, caption, text);
    if (state().scripted)
        return takeNext(state().confirms, "confirmation");
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

namespace {

// The completion list of a file dialog's name box is a window of its own. Left open when the
// dialog closes (a name typed before the folder was read, then Enter), it floats over the main
// window and takes every key; so it goes with the dialog and may not show while it is hidden.
class CompletionWithDialog : public QObject {
public:
    explicit CompletionWithDialog(QDialog& dialog) : QObject(&dialog), FDialog(dialog)
    {
        connect(&dialog, &QDialog::finished, this, [this] { hidePopups(); });
    }

    void watchPopups()
    {
        for (QCompleter* completer : FDialog.findChildren<QCompleter*>()) {
            QWidget* popup = completer->popup();
            if (popup && !FWatched.contains(popup)) {
                FWatched.append(popup);
                popup->installEventFilter(this);
            }
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !FDialog.isVisible())
            static_cast<QWidget*>(watched)->hide();
        return false;
    }

private:
    void hidePopups()
    {
        for (QCompleter* completer : FDialog.findChildren<QCompleter*>())
            if (completer->popup())
                completer->popup()->hide();
    }

    QDialog& FDialog;
    QList<QPointer<QWidget>> FWatched;
};

void keepCompletionWithDialog(QFileDialog& dialog)
{
    const QString name = QStringLiteral("CompletionWithDialog");
    auto* guard = static_cast<CompletionWithDialog*>(
        dialog.findChild<QObject*>(name, Qt::FindDirectChildrenOnly));
    if (!guard) {
        guard = new CompletionWithDialog(dialog);
        guard->setObjectName(name);
    }
    guard->watchPopups();
}

std::optional<QString> fileName(QFileDialog& dialog, Kind kind)
{
    record(kind, dialog.windowTitle(), {});
    keepCompletionWithDialog(dialog);
    if (state().scripted) {
        QString path = takeNext(state().fileNames, "file");
        if (path.isEmpty())
            return std::nullopt;
        dialog.selectFile(path);
        return path;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
} // namespace

std::optional<QString> openFileName(QFileDialog& dialog)
{
    return fileName(dialog, Kind::OpenFile);
}

std::optional<QString> saveFileName(QFileDialog& dialog)
{
    return fileName(dialog, Kind::SaveFile);
}

std::optional<QFont> font(QFontDialog& dialog)
{
    record(Kind::Font, dialog.windowTitle(), {});
    if (state().scripted)
        return takeNext(state().fonts, "font");
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFont();
}

bool print(QPrintDialog& dialog)
{
    record(Kind::Print, dialog.windowTitle(), {});
    if (state().scripted)
        return takeNext(state().prints, "print");
    return dialog.exec() == QDialog::Accepted;
}

void setNextConfirm(bool yes)
{
    state().confirms.push_back(yes);
}

void setNextFileName(const QString& path)
{
    state().fileNames.push_back(path);
}

void setNextFont(const std::optional<QFont>& font)
{
    state().fonts.push_back(font);
}

void setNextPrint(bool accept)
{
    state().prints.push_back(accept);
}

void setScripted(bool on)
{
    state().scripted = on;
}

bool scripted()
{
    return state().scripted;
}

const QList<Record>& shown()
{
    return state().shown;
}

void clearShown()
{
    state().shown.clear();
}

void reset()
{
    state() = State{};
}

} // namespace Prompts
