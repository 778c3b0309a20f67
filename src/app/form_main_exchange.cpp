// File > Import Tasks... and Export Tasks...: the list's tasks to and from iCalendar, CSV and
// todo.txt files, by the code qmtd's import and export run too.

#include "app/form_main.h"
#include "exchange/exchange.h"
#include "tasks/prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>

namespace {

struct FormatFilter {
    ExchangeFormat format;
    const char* filter;
    const char* suffix;
};
constexpr FormatFilter FormatFilters[] = {
    {ExchangeFormat::ICalendar, "iCalendar (*.ics *.ical)", "ics"},
    {ExchangeFormat::Csv, "CSV (*.csv)", "csv"},
    {ExchangeFormat::TodoTxt, "todo.txt (*.txt)", "txt"},
};

QStringList nameFilters()
{
    QStringList filters;
    for (const FormatFilter& f : FormatFilters)
        filters.append(QString::fromLatin1(f.filter));
    return filters;
}

const FormatFilter* filterNamed(const QString& filter)
{
    for (const FormatFilter& f : FormatFilters)
        if (filter == QLatin1String(f.filter))
            return &f;
    return nullptr;
}

QFileDialog* makeDialog(QWidget* parent, const QString& name, const QString& caption,
                        QFileDialog::AcceptMode mode, const QStringList& filters)
{
    auto* dialog = new QFileDialog(parent, caption);
    dialog->setObjectName(name);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                        : QFileDialog::AnyFile);
    dialog->setNameFilters(filters);
    return dialog;
}

} // namespace

void TFormMain::ActionImportTasksExecute()
{
    if (!ImportDialog)
        ImportDialog =
            makeDialog(this, QStringLiteral("ImportDialog"), QStringLiteral("Import Tasks"),
                       QFileDialog::AcceptOpen,
                       QStringList{QStringLiteral("Task files (*.ics *.ical *.csv *.txt)")} +
                           nameFilters() + QStringList{QStringLiteral("All files (*)")});
    const std::optional<QString> chosen = Prompts::openFileName(*ImportDialog);
    if (!chosen)
        return;
    // By the file's extension, else by the filter the file was chosen with.
    const FormatFilter* filter = filterNamed(ImportDialog->selectedNameFilter());
    SourceTasks source;
    try {
        const ExchangeFormat format = ChooseExchangeFormat(
            ExchangeFormatFromFileName(*chosen) || !filter ? QString()
                                                           : ExchangeFormatName(filter->format),
            *chosen);
        source = ReadSourceFile(*chosen, format);
    } catch (const ExchangeError& e) {
        Prompts::error(this, e.message());
        return;
    }
    // Nothing above touched the list; this is its one change.
    const ImportReport report = ImportTasks(ClientDataSetMain, source);
    LoadTaskView(false);
    Prompts::information(this, report.Summary(QFileInfo(*chosen).fileName()));
}

void TFormMain::ActionExportTasksExecute()
{
    if (!ExportDialog) {
        ExportDialog =
            makeDialog(this, QStringLiteral("ExportDialog"), QStringLiteral("Export Tasks"),
                       QFileDialog::AcceptSave, nameFilters());
        ExportDialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    }
    const std::optional<QString> chosen = Prompts::saveFileName(*ExportDialog);
    if (!chosen)
        return;
    // A name without a known extension gets the one of the filter chosen.
    QString fileName = *chosen;
    std::optional<ExchangeFormat> format = ExchangeFormatFromFileName(fileName);
    if (!format) {
        const FormatFilter* filter = filterNamed(ExportDialog->selectedNameFilter());
        if (!filter)
            filter = &FormatFilters[0];
        format = filter->format;
        fileName += u'.' + QLatin1String(filter->suffix);
    }
    ExportResult result;
    try {
        result = ExportTasksToFile(ClientDataSetMain, *format, fileName);
    } catch (const ExchangeError& e) {
        Prompts::error(this, e.message());
        return;
    }
    const QString done =
        QStringLiteral("Exported %1 %2 to %3.")
            .arg(result.tasks)
            .arg(result.tasks == 1 ? QStringLiteral("task") : QStringLiteral("tasks"),
                 QFileInfo(fileName).fileName());
    if (result.notes.isEmpty())
        statusBar()->showMessage(done, 5000);
    else
        Prompts::information(this, done + u' ' + result.notes.join(u' '));
}
