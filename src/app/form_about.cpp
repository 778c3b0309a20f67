#include "app/form_about.h"

#include "app/app_info.h"
#include "platform/shell_open.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {

const QFont AboutFont()
{
    return QFont(QStringLiteral("Tahoma"), 8);
}

// A label whose text ends at `right` (right-aligned), top at `top`.
QLabel* RightAlignedLabel(const QString& text, int right, int top, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->setGeometry(0, top, right, label->sizeHint().height());
    return label;
}

QLabel* GreyLabel(const QString& text, int left, int top, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #808080; background: transparent"));
    label->move(left, top);
    label->resize(300, label->sizeHint().height());
    return label;
}

} // namespace

TUrlLabel::TUrlLabel(const QString& caption, const QString& url, QWidget* parent)
    : QLabel(caption, parent), FUrl(url)
{
    QFont font = AboutFont();
    font.setUnderline(true);
    setFont(font);
    // Visited and unvisited alike are blue.
    setStyleSheet(QStringLiteral("color: #0000FF; background: transparent"));
    setCursor(Qt::PointingHandCursor);
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        if (ShellOpen(target()))
            FVisited = true;
    }
    QLabel::mouseReleaseEvent(event);
}

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About %1").arg(ProductName));
    setFont(AboutFont());
    setFixedSize(400, 243);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setGeometry(317, 210, 75, 25);
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);

    LabelWebsite = RightAlignedLabel(QStringLiteral("Website:"), 54, 128, this);
    RzURLLabelWebsite = new TUrlLabel(ProductWebsiteHost, ProductWebsiteUrl, this);
    RzURLLabelWebsite->setGeometry(60, 128, 147, RzURLLabelWebsite->sizeHint().height());
    RzURLLabelMaker = new TUrlLabel(MakerWebsiteHost, MakerWebsiteUrl, this);
    RzURLLabelMaker->setGeometry(60, 147, 147, RzURLLabelMaker->sizeHint().height());
    LabelEmail = RightAlignedLabel(QStringLiteral("EMail:"), 54, 171, this);
    RzURLLabelEmail = new TUrlLabel(SupportMailAddress, QString(), this);
    RzURLLabelEmail->setGeometry(60, 171, 147, RzURLLabelEmail->sizeHint().height());
    LabelVersion = GreyLabel(QStringLiteral("Version ") + FileVersion(), 11, 199, this);
    LabelNotice =
        GreyLabel(QStringLiteral("Copyright \u00A9 2026 The Quillmark developers"), 11, 218, this);
    for (QLabel* label : {LabelWebsite, LabelEmail})
        label->setStyleSheet(QStringLiteral("background: transparent"));
    ButtonOK->setFocus();
}

void TFormAbout::paintEvent(QPaintEvent*)
{
    // The background: a pale cream gradient with the product's name as a logo and its slogan.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient cream(0, 0, 0, height());
    cream.setColorAt(0.0, QColor(255, 252, 238));
    cream.setColorAt(0.55, QColor(250, 240, 212));
    cream.setColorAt(1.0, QColor(238, 224, 190));
    painter.fillRect(rect(), cream);

    QFont logo(QStringLiteral("Georgia"));
    logo.setStyleHint(QFont::Serif);
    logo.setPixelSize(44);
    logo.setItalic(true);
    logo.setBold(true);
    painter.setFont(logo);
    const QRect logoRect(0, 22, width(), 56);
    painter.setPen(QColor(200, 185, 150));
    painter.drawText(logoRect.translated(2, 2), Qt::AlignHCenter | Qt::AlignVCenter, ProductName);
    painter.setPen(QColor(92, 58, 24));
    painter.drawText(logoRect, Qt::AlignHCenter | Qt::AlignVCenter, ProductName);

    // A quill stroke under the name.
    QPen stroke(QColor(150, 100, 50), 2.0, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(stroke);
    QPainterPath flourish;
    flourish.moveTo(110, 84);
    flourish.cubicTo(170, 76, 230, 92, 290, 82);
    painter.drawPath(flourish);

    QFont slogan(QStringLiteral("Tahoma"));
    slogan.setPixelSize(13);
    slogan.setItalic(true);
    painter.setFont(slogan);
    painter.setPen(QColor(110, 85, 55));
    painter.drawText(QRect(0, 90, width(), 22), Qt::AlignHCenter | Qt::AlignVCenter,
                     QStringLiteral("Your tasks, one clear page at a time."));
}
