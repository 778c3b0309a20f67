#include "view/match_marks.h"

#include "view/html_text.h"

namespace {

const QStringView markOpen(u"<span class=\"match\">");
const QStringView markClose(u"</span>");

// The character an entity stands for, or a null character for one not known here.
QChar entityChar(QStringView entity)
{
    if (entity == u"&amp;")
        return u'&';
    if (entity == u"&lt;")
        return u'<';
    if (entity == u"&gt;")
        return u'>';
    if (entity == u"&quot;")
        return u'"';
    if (entity == u"&nbsp;")
        return QChar(0xA0);
    if (entity.size() > 3 && entity[1] == u'#') {
        bool ok = false;
        const QStringView digits = entity.mid(2, entity.size() - 3);
        const uint code = digits.front() == u'x' || digits.front() == u'X'
                              ? digits.mid(1).toUInt(&ok, 16)
                              : digits.toUInt(&ok, 10);
        if (ok && code > 0 && code < 0x10000)
            return QChar(char16_t(code));
    }
    return QChar();
}

} // namespace

void AppendMarkedText(QString& out, const QString& text, const std::vector<TextRange>& marks)
{
    const QStringView view(text);
    qsizetype at = 0;
    for (const TextRange& mark : marks) {
        AppendEscapedHtml(out, view.mid(at, mark.begin - at));
        out += markOpen;
        AppendEscapedHtml(out, view.mid(mark.begin, mark.end - mark.begin));
        out += markClose;
        at = mark.end;
    }
    AppendEscapedHtml(out, view.mid(at));
}

QString MarkHtml(const QString& html, const QString& text, const std::vector<TextRange>& marks)
{
    if (marks.empty())
        return html;
    QString out;
    out.reserve(html.size() + qsizetype(marks.size()) * 32);
    size_t next = 0;     // the first mark not yet closed
    bool open = false;   // inside a mark
    qsizetype shown = 0; // position in `text` of the next visible character
    const auto beforeVisible = [&] {
        while (next < marks.size() && marks[next].end <= shown) {
            if (open) {
                out += markClose;
                open = false;
            }
            ++next;
        }
        if (!open && next < marks.size() && marks[next].begin <= shown) {
            out += markOpen;
            open = true;
        }
    };
    // Whether beforeVisible would open or close a mark at the next visible character.
    const auto changesMark = [&] {
        if (open)
            return next < marks.size() && marks[next].end <= shown;
        size_t k = next;
        while (k < marks.size() && marks[k].end <= shown)
            ++k;
        return k < marks.size() && marks[k].begin <= shown;
    };
    const auto closeMark = [&] {
        if (open) {
            out += markClose;
            open = false;
        }
    };

    // Visible characters are copied a run at a time: the run ends where a mark opens or closes.
    const QStringView source(html);
    qsizetype run = 0; // start of the characters not yet copied
    const auto flush = [&](qsizetype upTo) {
        out += source.mid(run, upTo - run);
        run = upTo;
    };
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'<') {
            const qsizetype end = html.indexOf(u'>', i);
            if (end < 0)
                return html;
            const QStringView tag = source.mid(i, end - i + 1);
            flush(i);
            closeMark();
            flush(end + 1);
            if (tag.compare(u"<br>", Qt::CaseInsensitive) == 0) {
                if (QStringView(text).mid(shown, 2) != u"\r\n")
                    return html;
                shown += 2;
            }
            i = end + 1;
            continue;
        }
        qsizetype length = 1;
        QChar visible = c;
        if (c == u'&') {
            const qsizetype end = html.indexOf(u';', i);
            if (end < 0 || end - i > 10)
                return html;
            length = end - i + 1;
            visible = entityChar(source.mid(i, length));
        }
        if (shown >= text.size() || text[shown] != visible)
            return html;
        if (changesMark()) {
            flush(i);
            beforeVisible();
        }
        ++shown;
        i += length;
    }
    flush(html.size());
    closeMark();
    return shown == text.size() ? out : html;
}
