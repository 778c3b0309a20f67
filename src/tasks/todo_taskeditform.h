#pragma once
// The task edit dialog: the one modal window in which the user enters a task's fields. It only
// collects values; the operation that shows it fills the controls and reads them back after OK.
// One instance is created and reused, so every control keeps what it last held.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class CategoryCompletion;

// The values of a task as the dialog hands them back after OK.
struct TaskEditValues {
    QString title;
    QString category;
    double deadline = 0; // NullDate when the deadline box is unchecked; may carry a time of day
    int priority = 1;
    QString details; // lines separated by CR LF
};

class TFormTaskEdit : public QDialog {
    Q_OBJECT
public:
    explicit TFormTaskEdit(QWidget* parent = nullptr);

    static constexpr int TitleMaxLength = 200;
    static constexpr int CategoryMaxLength = 50;

    // Replaces the category box's list; the text typed in it stays.
    void SetCategoryList(const QStringList& categories);
    QStringList CategoryList() const;

    // Date-time values in and out of the date picker (its time of day is midnight).
    void SetCompleteBy(double value);
    double CompleteBy() const;
    // Lower bound of the date picker; 0 removes it. A later bound moves the shown date up.
    void SetCompleteByLowerBound(double bound);
    double CompleteByLowerBound() const;

    // Selects the priority entry; a value with no entry (only a foreign file holds one) shows no
    // entry and is read back unchanged unless the user picks one.
    void SetPriority(int priority);

    // Details with their line breaks turned into the control's own.
    void SetDetails(const QString& details);

    // The reading rules after OK: trimmed title and category, NullDate when the deadline box is
    // unchecked, the priority index, the details with CR LF line breaks.
    TaskEditValues ReadValues() const;

    // Shows the dialog modally; true for OK. The date picker is enabled exactly while the
    // deadline box is checked. When TestAnswer is set it runs instead of the modal loop, with the
    // dialog in its shown state, and its result stands for OK (true) or Cancel (false).
    bool ShowModal();
    static std::function<bool(TFormTaskEdit&)> TestAnswer;

    // Controls in tab order.
    QLineEdit* eTitle;
    QComboBox* eCategory;
    QCheckBox* eUseCompleteBy;
    QDateEdit* eCompleteBy;
    QComboBox* ePriority;
    QPlainTextEdit* eDetails;
    QPushButton* PngBitBtnOK;
    QPushButton* PngBitBtnCancel;
    // OK, also on Ctrl+Enter from any control.
    QAction* ActionOK;

private:
    void UpdateCompleteByEnabled();

    CategoryCompletion* FCategoryCompletion;
    double FLowerBound = 0;
    int FUnlistedPriority = 1;
};
