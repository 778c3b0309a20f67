#pragma once
// The "Do Task Again On..." dialog: one date picker that offers no date before today. One
// instance is reused, so the picker keeps the date of its last use.

#include <QDialog>
#include <functional>

class QDateEdit;
class QPushButton;

class TFormPopupDatePick : public QDialog {
    Q_OBJECT
public:
    explicit TFormPopupDatePick(QWidget* parent = nullptr);

    // Sets today as the picker's lower bound (a date shown before it moves up to it), then shows
    // the dialog modally; true for OK. When TestAnswer is set it runs instead of the modal loop.
    bool ShowModal();
    static std::function<bool(TFormPopupDatePick&)> TestAnswer;

    // The picker's date as a whole-day date-time.
    double PickedDate() const;

    QDateEdit* DeadlinePicker;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
};
