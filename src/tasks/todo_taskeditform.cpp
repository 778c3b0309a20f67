#include "tasks/todo_taskeditform.h"

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "tasks/category_completion.h"
#include "tasks/edit_text_rules.h"
#include "tasks/priority_icons.h"
#include "view/html_text.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

std::function<bool(TFormTaskEdit&)> TFormTaskEdit::TestAnswer;

namespace {

QPushButton* makeButton(const QString& text, const QIcon& icon, QWidget* parent)
{
    auto* button = new QPushButton(icon, text, parent);
    // No default button: Enter in the title or the category must not close the dialog.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFixedSize(75, 25);
    return button;
}

} // namespace

TFormTaskEdit::TFormTaskEdit(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Edit Task"));
    setObjectName(QStringLiteral("FormTaskEdit"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    eTitle = new QLineEdit(this);
    eTitle->setObjectName(QStringLiteral("eTitle"));
    eTitle->setMaxLength(TitleMaxLength);
    eTitle->setMinimumWidth(340);

    eCategory = new QComboBox(this);
    eCategory->setObjectName(QStringLiteral("eCategory"));
    eCategory->setEditable(true);
    eCategory->setInsertPolicy(QComboBox::NoInsert);
    eCategory->lineEdit()->setMaxLength(CategoryMaxLength);
    eCategory->setFixedWidth(145);
    FCategoryCompletion = new CategoryCompletion(eCategory);

    eUseCompleteBy = new QCheckBox(QStringLiteral("Deadline (Optional):"), this);
    eUseCompleteBy->setObjectName(QStringLiteral("eUseCompleteBy"));
    eUseCompleteBy->setChecked(false);

    eCompleteBy = new QDateEdit(this);
    eCompleteBy->setObjectName(QStringLiteral("eCompleteBy"));
    eCompleteBy->setCalendarPopup(true);
    eCompleteBy->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    eCompleteBy->setDate(CurrentDateTime().date());
    eCompleteBy->setFixedWidth(145);

    ePriority = new QComboBox(this);
    ePriority->setObjectName(QStringLiteral("ePriority"));
    ePriority->setEditable(false);
    for (int i = 0; i < 3; ++i)
        ePriority->addItem(PriorityIcon(i), PriorityName(i));
    ePriority->setCurrentIndex(1);
    ePriority->setFixedWidth(145);

    eDetails = new QPlainTextEdit(this);
    eDetails->setObjectName(QStringLiteral("eDetails"));
    eDetails->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    eDetails->setTabChangesFocus(true);
    eDetails->setFixedHeight(146);

    PngBitBtnOK =
        makeButton(QStringLiteral("OK"), style()->standardIcon(QStyle::SP_DialogOkButton), this);
    PngBitBtnOK->setObjectName(QStringLiteral("PngBitBtnOK"));
    PngBitBtnOK->setToolTip(QStringLiteral("Save changes"));
    PngBitBtnCancel = makeButton(QStringLiteral("Cancel"),
                                 style()->standardIcon(QStyle::SP_DialogCancelButton), this);
    PngBitBtnCancel->setObjectName(QStringLiteral("PngBitBtnCancel"));

    ActionOK = new QAction(QStringLiteral("OK"), this);
    ActionOK->setObjectName(QStringLiteral("ActionOK"));
    ActionOK->setToolTip(QStringLiteral("Save changes"));
    ActionOK->setStatusTip(QStringLiteral("Save changes"));
    ActionOK->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    ActionOK->setShortcutContext(Qt::WindowShortcut);
    addAction(ActionOK);
    connect(ActionOK, &QAction::triggered, this, &QDialog::accept);
    connect(PngBitBtnOK, &QPushButton::clicked, ActionOK, &QAction::trigger);
    connect(PngBitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(eUseCompleteBy, &QCheckBox::toggled, this, [this] { UpdateCompleteByEnabled(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    auto* titleLabel = new QLabel(QStringLiteral("Task Title"), this);
    titleLabel->setBuddy(eTitle);
    layout->addWidget(titleLabel);
    layout->addWidget(eTitle);

    auto* column = new QVBoxLayout;
    auto* categoryLabel = new QLabel(QStringLiteral("Category (Optional):"), this);
    categoryLabel->setBuddy(eCategory);
    column->addWidget(categoryLabel);
    column->addWidget(eCategory);
    column->addSpacing(6);
    column->addWidget(eUseCompleteBy);
    column->addWidget(eCompleteBy);
    column->addSpacing(6);
    auto* priorityLabel = new QLabel(QStringLiteral("Priority:"), this);
    priorityLabel->setBuddy(ePriority);
    column->addWidget(priorityLabel);
    column->addWidget(ePriority);
    auto* columnRow = new QHBoxLayout;
    columnRow->addLayout(column);
    columnRow->addStretch(1);
    layout->addLayout(columnRow);

    layout->addSpacing(6);
    auto* detailsLabel = new QLabel(QStringLiteral("Details (Optional):"), this);
    detailsLabel->setBuddy(eDetails);
    layout->addWidget(detailsLabel);
    layout->addWidget(eDetails);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(PngBitBtnOK);
    buttons->addWidget(PngBitBtnCancel);
    layout->addLayout(buttons);

    setTabOrder(eTitle, eCategory);
    setTabOrder(eCategory, eUseCompleteBy);
    setTabOrder(eUseCompleteBy, eCompleteBy);
    setTabOrder(eCompleteBy, ePriority);
    setTabOrder(ePriority, eDetails);
    setTabOrder(eDetails, PngBitBtnOK);
    setTabOrder(PngBitBtnOK, PngBitBtnCancel);

    setFixedSize(layout->sizeHint().expandedTo(QSize(356, 440)));
    UpdateCompleteByEnabled();
}

void TFormTaskEdit::SetCategoryList(const QStringList& categories)
{
    const QString text = eCategory->currentText();
    eCategory->clear();
    eCategory->addItems(categories);
    eCategory->setEditText(text);
}

QStringList TFormTaskEdit::CategoryList() const
{
    QStringList list;
    for (int i = 0; i < eCategory->count(); ++i)
        list.append(eCategory->itemText(i));
    return list;
}

void TFormTaskEdit::SetCompleteBy(double value)
{
    eCompleteBy->setDate(DecodeDate(value));
}

double TFormTaskEdit::CompleteBy() const
{
    return EncodeDateTime(eCompleteBy->date());
}

void TFormTaskEdit::SetCompleteByLowerBound(double bound)
{
    FLowerBound = bound;
    if (bound == 0)
        eCompleteBy->clearMinimumDate();
    else
        eCompleteBy->setMinimumDate(DecodeDate(bound));
}

double TFormTaskEdit::CompleteByLowerBound() const
{
    return FLowerBound;
}

void TFormTaskEdit::SetPriority(int priority)
{
    if (priority >= 0 && priority < ePriority->count()) {
        ePriority->setCurrentIndex(priority);
    } else {
        FUnlistedPriority = priority;
        ePriority->setCurrentIndex(-1);
    }
}

void TFormTaskEdit::SetDetails(const QString& details)
{
    eDetails->setPlainText(DetailsToEditorText(details));
}

TaskEditValues TFormTaskEdit::ReadValues() const
{
    TaskEditValues values;
    values.title = TrimControlChars(eTitle->text());
    values.category = TrimControlChars(eCategory->currentText());
    values.deadline = eUseCompleteBy->isChecked() ? CompleteBy() : NullDate;
    values.priority =
        ePriority->currentIndex() >= 0 ? ePriority->currentIndex() : FUnlistedPriority;
    // The raw text keeps characters that toPlainText would change (no-break spaces).
    values.details = EditorTextToDetails(eDetails->document()->toRawText());
    return values;
}

bool TFormTaskEdit::ShowModal()
{
    UpdateCompleteByEnabled();
    if (TestAnswer) {
        setResult(QDialog::Rejected);
        const bool ok = TestAnswer(*this);
        if (isVisible())
            hide();
        setResult(ok ? QDialog::Accepted : QDialog::Rejected);
        return ok;
    }
    return exec() == QDialog::Accepted;
}

void TFormTaskEdit::UpdateCompleteByEnabled()
{
    eCompleteBy->setEnabled(eUseCompleteBy->isChecked());
}
