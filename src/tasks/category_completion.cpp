#include "tasks/category_completion.h"

#include <QComboBox>
#include <QLineEdit>

QString InlineCompletion(const QString& typed, const QStringList& entries)
{
    if (typed.isEmpty())
        return typed;
    for (const QString& entry : entries) {
        if (entry.size() > typed.size() && entry.startsWith(typed, Qt::CaseInsensitive))
            return typed + entry.mid(typed.size());
    }
    return typed;
}

CategoryCompletion::CategoryCompletion(QComboBox* combo) : QObject(combo), FCombo(combo)
{
    combo->setCompleter(nullptr);
    QLineEdit* edit = combo->lineEdit();
    connect(edit, &QLineEdit::textEdited, this, &CategoryCompletion::textEdited);
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!FCompleting)
            FTyped = text;
    });
}

void CategoryCompletion::textEdited(const QString& text)
{
    QLineEdit* edit = FCombo->lineEdit();
    const bool grew = text.size() > FTyped.size();
    FTyped = text;
    if (!grew || edit->cursorPosition() != text.size())
        return;
    QStringList entries;
    entries.reserve(FCombo->count());
    for (int i = 0; i < FCombo->count(); ++i)
        entries.append(FCombo->itemText(i));
    const QString completed = InlineCompletion(text, entries);
    if (completed.size() == text.size())
        return;
    FCompleting = true;
    edit->setText(completed);
    edit->setSelection(text.size(), completed.size() - text.size());
    FCompleting = false;
}
