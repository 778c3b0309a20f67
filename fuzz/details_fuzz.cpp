// Task details made into page text, and the link grammar over what it produces.
//
// The result is compared with a direct model of how the page always linked addresses: two
// passes over an escaped text and its lower-case copy, each link put into both. Where the model's
// second pass reaches into a link of the first (the one case it nests links), only the shape of
// the result is checked: links one after another, never one inside another.

#include "fuzz_support.h"
#include "view/html_text.h"
#include "view/link_grammar.h"
#include "view/view_error.h"

#include <vector>

namespace {

bool isStop(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x21 || u == u'"' || u == u'\'' || u == 0x00FF;
}

bool isTrailing(QChar c)
{
    return QStringView(u"!(),.:;").contains(c);
}

QString asciiLower(QString text)
{
    for (QChar& c : text)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return text;
}

// One pass of the model; `inLink` marks the characters of links already made.
void modelPass(QString& text, QString& lower, std::vector<bool>& inLink, const QString& prefix,
               bool& touched)
{
    qsizetype from = 0;
    qsizetype p;
    while ((p = lower.indexOf(prefix, from)) >= 0) {
        touched = touched || inLink[size_t(p)];
        qsizetype e = p + prefix.size();
        while (e < text.size() && !isStop(text[e])) {
            touched = touched || inLink[size_t(e)];
            ++e;
        }
        --e;
        if (isTrailing(text[e]))
            --e;
        if (e - p > prefix.size()) {
            const QString address = text.mid(p, e - p + 1);
            QString href = address;
            href.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            const QString link = QStringLiteral("<a href=\"") + href + QStringLiteral("\">") +
                                 address + QStringLiteral("</a>");
            text.replace(p, address.size(), link);
            lower.replace(p, address.size(), link);
            inLink.erase(inLink.begin() + p, inLink.begin() + p + address.size());
            inLink.insert(inLink.begin() + p, size_t(link.size()), true);
            from = p + link.size();
        } else {
            from = e;
        }
    }
}

QString modelDetails(const QString& details, bool& touched)
{
    QString text = details;
    text.replace(u'&', QStringLiteral("&amp;"));
    text.replace(u'<', QStringLiteral("&lt;"));
    text.replace(u'>', QStringLiteral("&gt;"));
    QString lower = asciiLower(text);
    std::vector<bool> inLink(size_t(text.size()), false);
    touched = false;
    modelPass(text, lower, inLink, QStringLiteral("http://"), touched);
    modelPass(text, lower, inLink, QStringLiteral("https://"), touched);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
    return text;
}

} // namespace

namespace {

void checkDetails(const QString& details)
{
    using fuzz::check;
    const QString html = DetailsToHtml(details);
    bool touched = false;
    const QString model = modelDetails(details, touched);
    if (!touched)
        check(html == model, "linked as the page always linked", details);

    // Links stand one after another, each a web link to the grammar.
    const QString open = QStringLiteral("<a href=\"");
    const QString close = QStringLiteral("</a>");
    qsizetype at = 0;
    for (qsizetype start; (start = html.indexOf(open, at)) >= 0;) {
        const qsizetype hrefEnd = html.indexOf(u'"', start + open.size());
        const qsizetype end = html.indexOf(close, start);
        check(hrefEnd > 0 && end > hrefEnd, "a link is whole", html);
        const qsizetype next = html.indexOf(open, start + 1);
        check(next < 0 || next > end, "no link inside another", details);
        const QString href = html.mid(start + open.size(), hrefEnd - start - open.size());
        check(ParseLink(href).kind == TLinkKind::Web, "a detail link is a web link", href);
        check(LinkHover(href, tvfUncompleted).statusText.endsWith(href), "its hover names it",
              href);
        at = end + close.size();
    }

    // The grammar over any link text at all.
    try {
        ParseLink(details);
        LinkHover(details, tvfCompleted);
    } catch (const ViewError&) {
        check(details.startsWith(QStringLiteral("act:"), Qt::CaseInsensitive),
              "only an action link can be unknown", details);
    }
    ActionRecIndex(details);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As UTF-8 text (where addresses are easy to reach) and as raw code units.
    checkDetails(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    checkDetails(fuzz::utf16Of(data, size));
    return 0;
}
