// The command line of one command: positional arguments and options, and the checks of the
// values the commands share.

#include "cli/cli_command.h"
#include "shared/datetime.h"
#include "store/details_text.h"
#include "store/todo_db.h"

#include <QDate>

namespace {

// The orders by the word a person would use, and the sort mode each one names.
struct OrderName {
    const char* word;
    TSortMode mode;
};
constexpr OrderName OrderNames[] = {
    {"deadline", smDePrTiCr},   {"priority", smPrDeTiCr}, {"title", smTiDePrCr},
    {"category", smCaDePrTiCr}, {"created", smCreated},
};

} // namespace

QString CliArgs::option(const QString& name, const QString& fallback) const
{
    for (auto it = options.crbegin(); it != options.crend(); ++it)
        if (it->first == name)
            return it->second;
    return fallback;
}

bool CliArgs::has(const QString& name) const
{
    for (const auto& o : options)
        if (o.first == name)
            return true;
    return false;
}

bool CliArgs::flag(const QString& name) const
{
    return has(name);
}

QString CliArgs::required(int index, const QString& what) const
{
    if (index >= positional.size())
        throw CliUsageError(QStringLiteral("%1: %2 is missing").arg(command, what));
    return positional[index];
}

int CliArgs::recordIndex(int index) const
{
    const QString text = required(index, QStringLiteral("the record index N"));
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1)
        throw CliUsageError(
            QStringLiteral("%1: the record index must be a whole number of 1 or more, not \"%2\"")
                .arg(command, text));
    return n;
}

void CliArgs::expectPositional(int count) const
{
    if (positional.size() > count)
        throw CliUsageError(
            QStringLiteral("%1: unexpected argument \"%2\"").arg(command, positional[count]));
}

int SortModeFromOrderName(const QString& name)
{
    for (const OrderName& o : OrderNames)
        if (name == QLatin1String(o.word))
            return o.mode;
    return SortModeFromName(name);
}

QString OrderWord(int mode)
{
    for (const OrderName& o : OrderNames)
        if (o.mode == mode)
            return QString::fromLatin1(o.word);
    return SortModeName(mode);
}

TSortMode OrderOf(const CliArgs& args)
{
    const QString option = QStringLiteral("order");
    if (!args.has(option))
        return DefaultSortMode;
    const QString name = args.option(option);
    const int mode = SortModeFromOrderName(name);
    if (mode < 0)
        throw CliUsageError(QStringLiteral("unknown order \"%1\" (try deadline, priority, title, "
                                           "category or created)")
                                .arg(name));
    return TSortMode(mode);
}

void UseOrder(TaskTable& table, TSortMode mode)
{
    table.SetIndexName(SortModeName(mode));
}

double ParseDeadline(const QString& text)
{
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        throw CliUsageError(
            QStringLiteral("\"%1\" is not a date of the form YYYY-MM-DD").arg(text));
    return EncodeDateTime(date);
}

double ParseDeadlineOrNone(const QString& text)
{
    return text == QLatin1String("none") ? NullDate : ParseDeadline(text);
}

int ParsePriority(const QString& text)
{
    const QString p = text.toLower();
    if (p == QLatin1String("high"))
        return 0;
    if (p == QLatin1String("normal"))
        return 1;
    if (p == QLatin1String("low"))
        return 2;
    throw CliUsageError(
        QStringLiteral("the priority must be high, normal or low, not \"%1\"").arg(text));
}

void CheckTitleAndCategory(const QString& title, const QString& category)
{
    if (title.size() > TaskTitleSize)
        throw CliUsageError(QStringLiteral("a title has at most %1 characters").arg(TaskTitleSize));
    if (category.size() > TaskCategorySize)
        throw CliUsageError(
            QStringLiteral("a category has at most %1 characters").arg(TaskCategorySize));
}

QString DetailsFromArgument(const QString& text)
{
    return DetailsWithCrLf(text);
}
