#include "view/html_text.h"

#include "shared/todo_global.h"

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

// Links every address that starts with `prefix`. `lower` is the ASCII lower-case twin of `text`
// and is kept position-equal with it.
void linkAddresses(QString& text, QString& lower, QLatin1StringView prefix)
{
    const qsizetype prefixLength = prefix.size();
    qsizetype from = 0;
    qsizetype p;
    while ((p = lower.indexOf(prefix, from)) >= 0) {
        qsizetype e = p + prefixLength;
        while (e < text.size() && !isStopChar(text.at(e)))
            ++e;
        --e; // last character of the address
        if (isTrailingPunctuation(text.at(e)))
            --e;
        if (e - p > prefixLength) {
            const qsizetype length = e - p + 1;
            const QString address = text.mid(p, length);
            QString href = address;
            href.replace(QLatin1StringView("&amp;"), QLatin1StringView("&"));
            const QString link = QLatin1StringView("<a href=\"") + href + QLatin1StringView("\">") +
                                 address + QLatin1StringView("</a>");
            text.replace(p, length, link);
            lower.replace(p, length, AsciiLower(link));
            from = p + link.size();
        } else {
            from = e;
        }
    }
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

QString PriorityName(qint64 priority)
{
    switch (priority) {
    case 0:
        return QStringLiteral("High");
    case 1:
        return QStringLiteral("Normal");
    case 2:
        return QStringLiteral("Low");
    default:
        return QString::number(priority);
    }
}

namespace {
// Ampersands are handled in the same pass as the rest, so no entity is escaped twice.
void AppendEscaped(QString& out, const QString& text, bool quotes)
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

void AppendEscapedHtml(QString& out, const QString& text)
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
    bool lineBreak = false;
    bool web = false;
    int matched = 0; // characters of "http" matched so far, in any letter case
    static constexpr char16_t http[] = u"http";
    for (const QChar c : text) {
        char16_t u = c.unicode();
        if (u == u'&' || u == u'<' || u == u'>')
            markup = true;
        else if (u == u'\r')
            lineBreak = true;
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
    if (web) {
        QString lower = AsciiLower(html);
        linkAddresses(html, lower, QLatin1StringView("http://"));
        linkAddresses(html, lower, QLatin1StringView("https://"));
    }
    if (lineBreak)
        html.replace(QLatin1StringView("\r\n"), QLatin1StringView("<br>"));
    return html;
}
