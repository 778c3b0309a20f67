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
#include <QFontDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPrintDialog>
#include <QUrl>
#include <cmath>

namespace {

constexpr int MinFontSize = 6;
constexpr int MaxFontSize = 30;

// The font dialog offers no way to limit its sizes; a size outside the range is brought into it.
int ChosenPointSize(const QFont& font)
{
    int size = font.pointSize();
    if (size <= 0)
        size = int(std::lround(font.pointSizeF()));
    if (size <= 0)
        size = DefaultDisplayFontSize;
    return std::clamp(size, MinFontSize, MaxFontSize);
}

} // namespace

void TFormMain::ActionSetFontExecute()
{
    DisplayFontDialog->setCurrentFont(QFont(DisplayFontName, DisplayFontSize));
    // Only the face and the size are kept, so the effects section has nothing to offer.
    for (QGroupBox* box : DisplayFontDialog->findChildren<QGroupBox*>())
        box->hide();
    const std::optional<QFont> chosen = Prompts::font(*DisplayFontDialog);
    if (!chosen)
        return;
    DisplayFontName = chosen->family();
    DisplayFontSize = ChosenPointSize(*chosen);
    LoadTaskView(false);
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
        dialog.setOptions(QAbstractPrintDialog::PrintPageRange);
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
