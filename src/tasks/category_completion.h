#pragma once
// Inline completion for the category box: when the text typed so far begins an entry of the
// box's list, compared without regard to case, the text becomes what was typed followed by the
// rest of the first such entry, and that rest is selected so that further typing replaces it.

#include <QObject>
#include <QString>
#include <QStringList>

class QComboBox;

// The completed text for `typed`: typed followed by the rest of the first entry it begins, or
// `typed` itself when no entry is longer and begins with it.
QString InlineCompletion(const QString& typed, const QStringList& entries);

class CategoryCompletion : public QObject {
public:
    // Replaces the combo box's own completer; the box must be editable.
    explicit CategoryCompletion(QComboBox* combo);

private:
    void textEdited(const QString& text);

    QComboBox* FCombo;
    // What the user has typed, without a proposed rest; a completion is offered only when an
    // edit makes this longer, so deleting the proposal does not bring it back.
    QString FTyped;
    bool FCompleting = false;
};
