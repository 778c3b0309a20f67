#include "app/filter_bar.h"

#include "app/app_icons.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>

namespace {
const QString ExampleQuery = QStringLiteral("Filter tasks, e.g. milk c:home p:high due:week");
}

TFilterBar::TFilterBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FilterBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 3, 4, 3);
    layout->setSpacing(4);

    FilterEdit = new QLineEdit(this);
    FilterEdit->setObjectName(QStringLiteral("FilterEdit"));
    FilterEdit->setPlaceholderText(ExampleQuery);
    FilterEdit->setClearButtonEnabled(true);
    FilterEdit->addAction(AppIcon(TAppIcon::Find), QLineEdit::LeadingPosition);
    FilterEdit->setAccessibleName(QStringLiteral("Filter tasks"));
    layout->addWidget(FilterEdit, 1);

    CloseButton = new QToolButton(this);
    CloseButton->setObjectName(QStringLiteral("FilterCloseButton"));
    CloseButton->setAutoRaise(true);
    CloseButton->setIcon(QIcon::fromTheme(QStringLiteral("window-close"),
                                          style()->standardIcon(QStyle::SP_TitleBarCloseButton)));
    CloseButton->setToolTip(QStringLiteral("Close the filter (Esc)"));
    CloseButton->setAccessibleName(QStringLiteral("Close the filter"));
    CloseButton->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(CloseButton);

    connect(CloseButton, &QToolButton::clicked, this, &TFilterBar::closeRequested);
    connect(FilterEdit, &QLineEdit::returnPressed, this, &TFilterBar::returnPressed);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &TFilterBar::closeRequested);
}

void TFilterBar::SetError(const QString& reason)
{
    if (reason == FError)
        return;
    FError = reason;
    FilterEdit->setToolTip(reason);
    FilterEdit->setAccessibleDescription(reason);
    FilterEdit->setStyleSheet(
        reason.isEmpty() ? QString()
                         : QStringLiteral("QLineEdit { border: 2px solid #D40000; border-radius: "
                                          "3px; padding: 1px 2px; }"));
}
