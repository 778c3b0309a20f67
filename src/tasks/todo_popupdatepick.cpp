#include "tasks/todo_popupdatepick.h"

#include "shared/datetime.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

std::function<bool(TFormPopupDatePick&)> TFormPopupDatePick::TestAnswer;

TFormPopupDatePick::TFormPopupDatePick(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Do Task Again On..."));
    setObjectName(QStringLiteral("FormPopupDatePick"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    auto* label = new QLabel(QStringLiteral("Specify deadline:"), this);
    DeadlinePicker = new QDateEdit(this);
    DeadlinePicker->setObjectName(QStringLiteral("DeadlinePicker"));
    DeadlinePicker->setCalendarPopup(true);
    DeadlinePicker->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    DeadlinePicker->setMinimumWidth(113);
    // First use opens on today; later uses on the last date unless it has passed.
    DeadlinePicker->setDate(CurrentDateTime().date());
    label->setBuddy(DeadlinePicker);

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* button : {ButtonOK, ButtonCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFixedSize(75, 25);
    }
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(label);
    auto* pickerRow = new QHBoxLayout;
    pickerRow->addWidget(DeadlinePicker);
    pickerRow->addStretch(1);
    layout->addLayout(pickerRow);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    layout->addLayout(buttons);
    setFixedSize(layout->sizeHint().expandedTo(QSize(250, 91)));
}

bool TFormPopupDatePick::ShowModal()
{
    DeadlinePicker->setMinimumDate(CurrentDateTime().date());
    if (TestAnswer) {
        const bool ok = TestAnswer(*this);
        if (isVisible())
            hide();
        setResult(ok ? QDialog::Accepted : QDialog::Rejected);
        return ok;
    }
    return exec() == QDialog::Accepted;
}

double TFormPopupDatePick::PickedDate() const
{
    return EncodeDateTime(DeadlinePicker->date());
}
