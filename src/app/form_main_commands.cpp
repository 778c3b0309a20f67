// The smaller commands around the page: display font, copy, print, help, website, support mail
// and the about box.

#include "app/app_info.h"
#include "app/form_about.h"
#include "app/form_main.h"
#include "app/help_window.h"
#include "htmlview/html_view.h"
#include "platform/shell_open.h"
#include "tasks/prompts.h"

#include <QClipboard>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLineEdit>
#include <QListView>
#include <QPrintDialog>
#include <QUrl>
#include <cmath>

namespace {

constexpr int MinFontSize = 6;
constexpr int MaxFontSize = 30;

int PointSizeOf(const QFont& font)
{
    int size = font.pointSize();
    if (size <= 0)
        size = int(std::lround(font.pointSizeF()));
    return size > 0 ? size : DefaultDisplayFontSize;
}

// The family at a size in its regular style. Without a style name the dialog shows the first
// style of its list ("Condensed Italic" for DejaVu Serif), and OK would choose that.
QFont RegularFont(const QString& family, int size)
{
    QFont font(family, size);
    QString regular;
    for (const QString& style : QFontDatabase::styles(family)) {
        if (QFontDatabase::italic(family, style) ||
            QFontDatabase::weight(family, style) != QFont::Normal)
            continue;
        const QFont candidate = QFontDatabase::font(family, style, size);
        if (candidate.stretch() != QFont::AnyStretch && candidate.stretch() != QFont::Unstretched)
            continue;
        // "Condensed" and the like may still report a plain stretch: prefer the usual names.
        if (regular.isEmpty() || style == QLatin1String("Regular") ||
            style == QLatin1String("Book") || style == QLatin1String("Normal") ||
            style == QLatin1String("Roman"))
            regular = style;
    }
    if (!regular.isEmpty())
        font.setStyleName(regular);
    return font;
}

// Qt's own font dialog (not a desktop's native one) has a size list and a size box: the list
// shows only the sizes in range and the box takes no larger number. Elsewhere a chosen size
// outside the range is brought into it and the user is told.
void LimitFontDialogSizes(QFontDialog& dialog)
{
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
        if (qobject_cast<const QIntValidator*>(edit->validator()))
            edit->setValidator(new QIntValidator(MinFontSize, MaxFontSize, edit));
    for (QListView* list : dialog.findChildren<QListView*>()) {
        QAbstractItemModel* model = list->model();
        if (!model || list->property("qm_sizesLimited").toBool())
            continue;
        const auto hideOutOfRange = [list, model] {
            for (int row = 0; row < model->rowCount(); ++row) {
                bool number = false;
                const int size = model->index(row, 0).data().toString().toInt(&number);
                if (!number)
                    return; // not the size list
                list->setRowHidden(row, size < MinFontSize || size > MaxFontSize);
            }
        };
        list->setProperty("qm_sizesLimited", true);
        QObject::connect(model, &QAbstractItemModel::modelReset, list, hideOutOfRange);
        hideOutOfRange();
    }
}

} // namespace

void TFormMain::ActionSetFontExecute()
{
    DisplayFontDialog->setCurrentFont(RegularFont(DisplayFontName, DisplayFontSize));
    // Only the face and the size are kept, so the effects section has nothing to offer.
    for (QGroupBox* box : DisplayFontDialog->findChildren<QGroupBox*>())
        box->hide();
    LimitFontDialogSizes(*DisplayFontDialog);
    const std::optional<QFont> chosen = Prompts::font(*DisplayFontDialog);
    if (!chosen)
        return;
    const int size = PointSizeOf(*chosen);
    DisplayFontName = chosen->family();
    DisplayFontSize = std::clamp(size, MinFontSize, MaxFontSize);
    LoadTaskView(false);
    if (DisplayFontSize != size)
        Prompts::information(this, QStringLiteral("The display font can be %1 to %2 points, so "
                                                  "the size %3 was changed to %4.")
                                       .arg(MinFontSize)
                                       .arg(MaxFontSize)
                                       .arg(size)
                                       .arg(DisplayFontSize));
}

void TFormMain::ActionCopySelectedTextExecute()
{
    QGuiApplication::clipboard()->setText(TaskViewer->selectedText());
}

void TFormMain::ActionSelectAllExecute()
{
    TaskViewer->selectAll();
}

void TFormMain::DoPrint()
{
    LoadTaskView(true);
    try {
        const int pageCount = TaskViewer->printerPageCount(&FPrinter);
        QPrintDialog dialog(&FPrinter, this);
        // Printing to a file is what is left without a printer.
        dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile);
        dialog.setMinMax(1, pageCount);
        dialog.setFromTo(1, pageCount);
        FPrinter.setPrintRange(QPrinter::PageRange);
        FPrinter.setFromTo(1, pageCount);
        if (BeforePrintDialog)
            BeforePrintDialog();
        if (Prompts::print(dialog)) {
            // "All pages" is not read: it prints the preset range like any other choice.
            int fromPage = FPrinter.fromPage();
            int toPage = FPrinter.toPage();
            if (fromPage <= 0 || toPage <= 0) {
                fromPage = 1;
                toPage = pageCount;
            }
            TaskViewer->print(&FPrinter, fromPage, toPage);
        }
    } catch (...) {
        // The screen page comes back also when printing failed; the error still goes on.
        try {
            LoadTaskView(false);
        } catch (...) {
        }
        throw;
    }
    LoadTaskView(false);
}

void TFormMain::ActionOpenHelpExecute()
{
#ifdef Q_OS_WIN
    ShellOpen(FHelpFile);
#else
    if (QFileInfo::exists(FHelpFile) && ShellOpen(QUrl::fromLocalFile(FHelpFile).toString()))
        return;
    ShowHelpWindow(this);
#endif
}

void TFormMain::ActionWebsiteExecute()
{
    ShellOpen(ProductWebsiteUrl);
}

void TFormMain::ActionEmailSupportExecute()
{
    ShellOpen(SupportMailLink(FileVersion()));
}

void TFormMain::ShowAbout()
{
    if (!FFormAbout)
        return;
    FFormAbout->LabelVersion->setText(QStringLiteral("Version ") + FileVersion());
    FFormAbout->RzURLLabelEmail->setUrl(SupportMailLink(FileVersion()));
    FFormAbout->exec();
}
