#include "view/html_text.h"

#include <vector>

namespace {
const QStringView captionOpen(u"<span style=\"font-size:smaller\">");
const QStringView captionClose(u"<br></span>");

bool isStopChar(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x21 || u == u'"' || u == u'\'' || u == 0x00FF;
}

bool isTrailingPunctuation(QChar c)
{
    switch (c.unicode()) {
    case u'!':
    case u'(':
    case u')':
    case u',':
    case u'.':
    case u':':
    case u';':
        return true;
    default:
        return false;
    }
}

// Where `prefix` (lower case) stands at text[at], its letters matched in any case.
bool prefixAt(const QString& text, qsizetype at, QLatin1StringView prefix)
{
    if (text.size() - at < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        char16_t c = text.at(at + i).unicode();
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        if (c != char16_t(prefix.at(i).unicode()))
            return false;
    }
    return true;
}

// A web address in the escaped details: text[start, end).
struct Address {
    qsizetype start;
    qsizetype end;
};

// The addresses that begin with `prefix`, in text order, found as the page always found them:
// from each address on to the first stop character, less one trailing punctuation mark, and
// only when more than one character follows the prefix. `taken` holds the addresses of an
// earlier prefix: a link is never found inside one of them, and an address ends where one begins,
// so that no link lands in another's markup.
std::vector<Address> findAddresses(const QString& text, QLatin1StringView prefix,
                                   const std::vector<Address>& taken)
{
    std::vector<Address> found;
    const qsizetype prefixLength = prefix.size();
    const char16_t first = prefix.at(0).unicode();
    auto next = taken.begin();
    qsizetype from = 0;
    while (from < text.size()) {
        char16_t c = text.at(from).unicode();
        if (c >= u'A' && c <= u'Z')
            c += u'a' - u'A';
        if (c != first || !prefixAt(text, from, prefix)) {
            ++from;
            continue;
        }
        while (next != taken.end() && next->end <= from)
            ++next;
        if (next != taken.end() && next->start <= from) {
            from = next->end;
            continue;
        }
        const qsizetype limit = next != taken.end() ? next->start : text.size();
        const qsizetype p = from;
        qsizetype e = p + prefixLength;
        while (e < limit && !isStopChar(text.at(e)))
            ++e;
        --e; // last character of the address
        if (isTrailingPunctuation(text.at(e)))
            --e;
        if (e - p > prefixLength) {
            found.push_back({p, e + 1});
            from = e + 1;
        } else {
            from = e;
        }
    }
    return found;
}

// Appends text[from, to) with every CR LF pair turned into "<br>".
void appendWithBreaks(QString& out, const QString& text, qsizetype from, qsizetype to)
{
    const QStringView view = QStringView(text).left(to); // no search runs past the piece
    qsizetype run = from;
    for (qsizetype cr = view.indexOf(u'\r', from); cr >= 0 && cr + 1 < to;
         cr = view.indexOf(u'\r', cr + 1)) {
        if (view[cr + 1] == u'\n') {
            out += view.mid(run, cr - run);
            out += QStringView(u"<br>");
            run = cr + 2;
        }
    }
    out += view.mid(run, to - run);
}

void appendLink(QString& out, QStringView address)
{
    static constexpr QStringView ampersand(u"&amp;");
    out += QStringView(u"<a href=\"");
    // The href holds a bare "&" where the text shows "&amp;".
    qsizetype run = 0;
    for (qsizetype i = address.indexOf(ampersand); i >= 0; i = address.indexOf(ampersand, run)) {
        out += address.mid(run, i + 1 - run);
        run = i + ampersand.size();
    }
    out += address.mid(run);
    out += QStringView(u"\">");
    out += address;
    out += QStringView(u"</a>");
}

} // namespace

QString SmallCaption(const QString& text)
{
    QString out;
    out.reserve(captionOpen.size() + text.size() + captionClose.size());
    out += captionOpen;
    out += text;
    out += captionClose;
    return out;
}

void AppendSmallCaption(QString& out, QStringView text)
{
    out += captionOpen;
    out += text;
    out += captionClose;
}

namespace {
// Ampersands are handled in the same pass as the rest, so no entity is escaped twice.
void AppendEscaped(QString& out, QStringView text, bool quotes)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QStringView(u"&amp;");
            break;
        case u'<':
            out += QStringView(u"&lt;");
            break;
        case u'>':
            out += QStringView(u"&gt;");
            break;
        case u'"':
            if (quotes) {
                out += QStringView(u"&quot;");
                break;
            }
            [[fallthrough]];
        default:
            out += c;
        }
    }
}
} // namespace

void AppendEscapedHtml(QString& out, QStringView text)
{
    AppendEscaped(out, text, true);
}

QString EscapeHtml(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    AppendEscapedHtml(out, text);
    return out;
}

QString DetailsToHtml(const QString& text)
{
    // One look over the text tells which of the steps below have anything to do; most details
    // have no markup characters, no address and at most a line break or two.
    bool markup = false;
    qsizetype lineBreaks = 0; // CRs, each of which may begin a CR LF pair
    bool web = false;
    int matched = 0; // characters of "http" matched so far, in any letter case
    static constexpr char16_t http[] = u"http";
    for (const QChar c : text) {
        char16_t u = c.unicode();
        if (u == u'&' || u == u'<' || u == u'>')
            markup = true;
        else if (u == u'\r')
            ++lineBreaks;
        if (u >= u'A' && u <= u'Z')
            u += u'a' - u'A';
        if (u == http[matched]) {
            if (++matched == 4) {
                web = true;
                matched = 0;
            }
        } else {
            matched = u == http[0] ? 1 : 0;
        }
    }

    QString html;
    if (!markup) {
        html = text;
    } else {
        html.reserve(text.size() + 16);
        AppendEscaped(html, text, false); // details keep their quotes
    }
    if (!web && !lineBreaks)
        return html;
    // The addresses are found first and the text is written once, so that many addresses or
    // line breaks cost no more than one each.
    std::vector<Address> plain;
    std::vector<Address> secure;
    if (web) {
        plain = findAddresses(html, QLatin1StringView("http://"), {});
        secure = findAddresses(html, QLatin1StringView("https://"), plain);
    }
    // Room for all of it at once: a link is its address twice and 15 characters of markup, and a
    // CR LF pair grows by two.
    qsizetype size = html.size() + 2 * lineBreaks;
    for (const std::vector<Address>* found : {&plain, &secure})
        for (const Address& address : *found)
            size += address.end - address.start + 15;
    QString out;
    out.reserve(size);
    qsizetype done = 0;
    auto a = plain.begin();
    auto b = secure.begin();
    while (a != plain.end() || b != secure.end()) {
        const bool takePlain = b == secure.end() || (a != plain.end() && a->start < b->start);
        const Address next = takePlain ? *a++ : *b++;
        appendWithBreaks(out, html, done, next.start);
        appendLink(out, QStringView(html).mid(next.start, next.end - next.start));
        done = next.end;
    }
    appendWithBreaks(out, html, done, html.size());
    return out;
}
