#include "view/link_grammar.h"

#include "view/view_error.h"

#include <limits>

namespace {
const QLatin1StringView createListLink("qmk:createlist");

// Case-insensitive for ASCII letters only, like the lower-case copies the page makes.
bool startsWithAnyCase(const QString& text, QLatin1StringView prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        char16_t c = text.at(i).unicode();
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        if (c != static_cast<unsigned char>(prefix.at(i).toLatin1()))
            return false;
    }
    return true;
}

// Compared in this order; the first whose text begins the link wins.
constexpr TActionKind actionKinds[] = {TActionKind::Edit, TActionKind::Done, TActionKind::DoAgain,
                                       TActionKind::More, TActionKind::Undo};

TActionKind actionKind(const QString& src)
{
    for (const TActionKind kind : actionKinds)
        if (startsWithAnyCase(src, ActionText(kind)))
            return kind;
    throw ViewError(QStringLiteral("Unknown action URI (%1)").arg(src));
}

bool isActionLink(const QString& src)
{
    return startsWithAnyCase(src, QLatin1StringView("act:"));
}

bool isWebLink(const QString& src)
{
    return startsWithAnyCase(src, QLatin1StringView("http"));
}
} // namespace

int ActionRecIndex(const QString& src)
{
    const qsizetype slash = src.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return 0;
    const QString digits = src.mid(slash + 1, 10);
    qsizetype i = 0;
    bool negative = false;
    if (i < digits.size() &&
        (digits.at(i) == QLatin1Char('-') || digits.at(i) == QLatin1Char('+'))) {
        negative = digits.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == digits.size())
        return 0;
    qint64 value = 0;
    for (; i < digits.size(); ++i) {
        const char16_t c = digits.at(i).unicode();
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c - u'0');
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(value);
}

TLinkTarget ParseLink(const QString& src)
{
    TLinkTarget target;
    if (src == createListLink) {
        target.kind = TLinkKind::CreateList;
    } else if (isActionLink(src)) {
        target.kind = TLinkKind::Action;
        target.recIndex = ActionRecIndex(src);
        target.action = actionKind(src);
    } else if (isWebLink(src)) {
        target.kind = TLinkKind::Web;
    }
    return target;
}

TLinkHover LinkHover(const QString& src, TTaskViewFilter filter)
{
    TLinkHover hover;
    if (isActionLink(src)) {
        switch (actionKind(src)) {
        case TActionKind::Edit:
            hover.hint = QStringLiteral("Edit this task");
            break;
        case TActionKind::Done:
            hover.hint = QStringLiteral("Mark this task Complete");
            break;
        case TActionKind::DoAgain:
            hover.hint = filter == tvfCompleted
                             ? QStringLiteral("Do this task again")
                             : QStringLiteral("Mark this task Complete and Do Again");
            break;
        case TActionKind::More:
            hover.hint = QStringLiteral("More Task options");
            break;
        case TActionKind::Undo:
            hover.hint = QStringLiteral("Mark this task Uncomplete (\"undo\")");
            break;
        }
    } else if (isWebLink(src)) {
        hover.statusText = QStringLiteral("Open link in web browser: ") + src;
    }
    return hover;
}
