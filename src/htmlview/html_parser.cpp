#include "htmlview/html_parser.h"

#include "htmlview/entities.h"

namespace htmlview {

namespace {

inline bool isSpace(char16_t c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f';
}
inline bool isAsciiLetter(char16_t c)
{
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
inline char16_t lower(char16_t c)
{
    return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
}

bool isHeadContent(Tag t)
{
    return t == Tag::Style || t == Tag::Script || t == Tag::Title || t == Tag::Meta ||
           t == Tag::Link;
}
bool isScopeBoundary(Tag t)
{
    return t == Tag::Td || t == Tag::Th || t == Tag::Table || t == Tag::Html;
}
bool closesParagraph(Tag t)
{
    return t == Tag::P || t == Tag::Div || t == Tag::Center || t == Tag::Hr || t == Tag::Header;
}

class Parser {
public:
    Parser(Dom& dom, const QString& src)
        : FDom(dom), FSrc(src), FData(reinterpret_cast<const char16_t*>(src.constData())),
          FSize(src.size())
    {
        FStack.reserve(64);
        FStack.push_back(dom.root());
    }

    void run()
    {
        qsizetype textStart = 0;
        qsizetype i = 0;
        while (i < FSize) {
            if (FData[i] != u'<') {
                i = FSrc.indexOf(u'<', i); // vectorised search
                if (i < 0)
                    break;
            }
            qsizetype used = markup(i, textStart);
            if (used == 0) {
                ++i; // a literal '<'
                continue;
            }
            i += used;
            textStart = i;
        }
        flushText(textStart, FSize);
    }

private:
    QStringView view(qsizetype from, qsizetype to) const
    {
        return QStringView(FSrc).mid(from, to - from);
    }

    // Handles markup starting at i; returns the characters consumed, 0 when '<' is text.
    qsizetype markup(qsizetype i, qsizetype textStart)
    {
        qsizetype j = i + 1;
        if (j >= FSize)
            return 0;
        char16_t c = FData[j];
        if (isAsciiLetter(c)) {
            flushText(textStart, i);
            return startTag(i);
        }
        if (c == u'/') {
            if (j + 1 < FSize && isAsciiLetter(FData[j + 1])) {
                flushText(textStart, i);
                return endTag(i);
            }
            flushText(textStart, i);
            return skipTo(i, u'>');
        }
        if (c == u'!') {
            flushText(textStart, i);
            if (j + 2 < FSize && FData[j + 1] == u'-' && FData[j + 2] == u'-') {
                qsizetype k = j + 3;
                if (k < FSize && FData[k] == u'>')
                    return k + 1 - i;
                if (k + 1 < FSize && FData[k] == u'-' && FData[k + 1] == u'>')
                    return k + 2 - i;
                qsizetype end = FSrc.indexOf(QLatin1StringView("-->"), k);
                return end < 0 ? FSize - i : end + 3 - i;
            }
            if (!FSeenElement && startsWithDoctype(j + 1))
                FDom.setQuirksMode(false);
            return skipTo(i, u'>');
        }
        if (c == u'?') {
            flushText(textStart, i);
            return skipTo(i, u'>');
        }
        return 0;
    }

    bool startsWithDoctype(qsizetype k) const
    {
        static constexpr char16_t word[] = u"doctype";
        for (qsizetype m = 0; m < 7; ++m) {
            if (k + m >= FSize || lower(FData[k + m]) != word[m])
                return false;
        }
        return true;
    }

    qsizetype skipTo(qsizetype i, char16_t stop)
    {
        for (qsizetype k = i; k < FSize; ++k) {
            if (FData[k] == stop)
                return k + 1 - i;
        }
        return FSize - i;
    }

    // The source's characters from..to lower-cased into `buf`; empty when longer than any name
    // the tree knows.
    QStringView lowerShortName(qsizetype from, qsizetype to, char16_t (&buf)[16]) const
    {
        const qsizetype len = to - from;
        if (len >= 16)
            return {};
        for (qsizetype m = 0; m < len; ++m)
            buf[m] = lower(FData[from + m]);
        return QStringView(buf, len);
    }

    // Reads a tag name at k, lower-cased; returns its end.
    qsizetype readName(qsizetype k, Tag& tag, QStringView& unknownName)
    {
        qsizetype start = k;
        while (k < FSize && !isSpace(FData[k]) && FData[k] != u'/' && FData[k] != u'>')
            ++k;
        char16_t buf[16];
        tag = tagFromName(lowerShortName(start, k, buf));
        if (tag == Tag::Unknown)
            unknownName = FDom.keep(view(start, k).toString().toLower());
        return k;
    }

    qsizetype startTag(qsizetype i)
    {
        Tag tag;
        QStringView unknownName;
        qsizetype k = readName(i + 1, tag, unknownName);
        FSeenElement = true;
        FAttrs.clear();
        // Attributes.
        for (;;) {
            while (k < FSize && (isSpace(FData[k]) || FData[k] == u'/'))
                ++k;
            if (k >= FSize)
                return FSize - i; // a tag cut off by the end of input is dropped
            if (FData[k] == u'>') {
                ++k;
                break;
            }
            qsizetype nameStart = k;
            ++k; // the first character may be anything, even '='
            while (k < FSize && !isSpace(FData[k]) && FData[k] != u'/' && FData[k] != u'>' &&
                   FData[k] != u'=')
                ++k;
            qsizetype nameEnd = k;
            while (k < FSize && isSpace(FData[k]))
                ++k;
            QStringView value;
            if (k < FSize && FData[k] == u'=') {
                ++k;
                while (k < FSize && isSpace(FData[k]))
                    ++k;
                if (k >= FSize)
                    return FSize - i;
                if (FData[k] == u'"' || FData[k] == u'\'') {
                    char16_t q = FData[k];
                    qsizetype vs = ++k;
                    k = FSrc.indexOf(QChar(q), k);
                    if (k < 0)
                        return FSize - i;
                    value = view(vs, k);
                    ++k;
                } else {
                    qsizetype vs = k;
                    while (k < FSize && !isSpace(FData[k]) && FData[k] != u'>')
                        ++k;
                    value = view(vs, k);
                }
            }
            char16_t nb[16];
            Attr a = attrFromName(lowerShortName(nameStart, nameEnd, nb));
            if (a != Attr::Unknown) {
                if (mayHoldEntity(value)) {
                    QString decoded;
                    decodeEntities(value, decoded);
                    value = FDom.keep(std::move(decoded));
                }
                FAttrs.push_back({a, 0, value});
            }
        }
        if (tag == Tag::Style || tag == Tag::Script || tag == Tag::Title) {
            insertElement(tag, unknownName);
            qsizetype end = findRawTextEnd(k, tag);
            if (end > k) {
                QStringView raw = view(k, end);
                if (tag == Tag::Title && mayHoldEntity(raw)) {
                    QString decoded;
                    decodeEntities(raw, decoded);
                    raw = FDom.keep(std::move(decoded));
                }
                uint32_t t = FDom.createNode(Tag::Text, raw);
                FDom.appendChild(FRawParent, t);
            }
            if (end >= FSize)
                return FSize - i;
            return skipTo(end, u'>') + end - i;
        }
        insertElement(tag, unknownName);
        return k - i;
    }

    qsizetype findRawTextEnd(qsizetype k, Tag tag)
    {
        const char* name = tag == Tag::Style ? "style" : tag == Tag::Script ? "script" : "title";
        qsizetype nameLen = qsizetype(strlen(name));
        for (qsizetype p = k; p + 1 < FSize; ++p) {
            if (FData[p] != u'<' || FData[p + 1] != u'/')
                continue;
            qsizetype q = p + 2;
            qsizetype m = 0;
            while (m < nameLen && q + m < FSize && lower(FData[q + m]) == char16_t(name[m]))
                ++m;
            if (m != nameLen)
                continue;
            q += m;
            if (q >= FSize || isSpace(FData[q]) || FData[q] == u'>' || FData[q] == u'/')
                return p;
        }
        return FSize;
    }

    qsizetype endTag(qsizetype i)
    {
        Tag tag;
        QStringView unknownName;
        qsizetype k = readName(i + 2, tag, unknownName);
        qsizetype used = skipTo(k, u'>') + k - i;
        switch (tag) {
        case Tag::Html:
        case Tag::Head:
        case Tag::Body:
        case Tag::Tbody:
        case Tag::Thead:
        case Tag::Tfoot:
            return used;
        case Tag::Br:
            FAttrs.clear();
            insertElement(Tag::Br, {});
            return used;
        case Tag::Td:
        case Tag::Th:
        case Tag::Tr:
        case Tag::Table: {
            for (size_t s = FStack.size(); s-- > 1;) {
                Tag t = FDom.node(FStack[s]).tag;
                if (t == tag || (tag == Tag::Td && t == Tag::Th) ||
                    (tag == Tag::Th && t == Tag::Td)) {
                    FStack.resize(s);
                    return used;
                }
                if (t == Tag::Table)
                    return used; // not within this table
                if (tag != Tag::Table && tag != Tag::Tr && (t == Tag::Td || t == Tag::Th))
                    return used;
            }
            return used;
        }
        default:
            break;
        }
        for (size_t s = FStack.size(); s-- > 1;) {
            const Node& n = FDom.node(FStack[s]);
            if (n.tag == tag && (tag != Tag::Unknown || n.text == unknownName)) {
                FStack.resize(s);
                return used;
            }
            if (isScopeBoundary(n.tag))
                return used;
        }
        return used;
    }

    uint32_t current() const { return FStack.back(); }
    Tag currentTag() const { return FDom.node(FStack.back()).tag; }
    bool inTableNotCell() const
    {
        Tag t = currentTag();
        return t == Tag::Table || t == Tag::Tr;
    }

    void ensureBody()
    {
        if (FBody != NoNode)
            return;
        FBody = FDom.createNode(Tag::Body);
        FDom.appendChild(FDom.root(), FBody);
        FStack.resize(1);
        FStack.push_back(FBody);
    }

    uint32_t ensureHead()
    {
        if (FHead == NoNode) {
            FHead = FDom.createNode(Tag::Head);
            FDom.appendChild(FDom.root(), FHead);
        }
        return FHead;
    }

    uint32_t newElement(Tag tag, QStringView unknownName)
    {
        uint32_t n = FDom.createNode(tag, unknownName);
        for (const Attribute& a : FAttrs)
            FDom.addAttribute(n, a.name, a.value);
        return n;
    }

    // Appends `n` at the current place, moving it before the table when the current place is
    // a table outside its cells.
    void place(uint32_t n)
    {
        if (inTableNotCell()) {
            uint32_t table = NoNode;
            for (size_t s = FStack.size(); s-- > 0;) {
                if (FDom.node(FStack[s]).tag == Tag::Table) {
                    table = FStack[s];
                    break;
                }
            }
            if (table != NoNode && FDom.node(table).parent != NoNode) {
                // Remember what went last before this table, so that a long run of moved
                // content does not search the parent's children again each time.
                if (table == FFosterTable && FFosterPrev != NoNode)
                    FDom.insertAfter(FDom.node(table).parent, n, FFosterPrev);
                else
                    FDom.insertBefore(FDom.node(table).parent, n, table);
                FFosterTable = table;
                FFosterPrev = n;
                return;
            }
        }
        FDom.appendChild(current(), n);
    }

    void push(uint32_t n, Tag tag)
    {
        if (isVoidTag(tag) || FStack.size() >= size_t(MaxTreeDepth))
            return;
        FStack.push_back(n);
    }

    // Finds the nearest table-structure element on the stack, closing nothing.
    size_t nearestTablePart() const
    {
        for (size_t s = FStack.size(); s-- > 1;) {
            Tag t = FDom.node(FStack[s]).tag;
            if (t == Tag::Td || t == Tag::Th || t == Tag::Tr || t == Tag::Table)
                return s;
        }
        return 0;
    }

    void insertElement(Tag tag, QStringView unknownName)
    {
        FRawParent = NoNode;
        switch (tag) {
        case Tag::Html:
            FDom.mergeAttributes(FDom.root(), FAttrs);
            return;
        case Tag::Head:
        case Tag::Tbody:
        case Tag::Thead:
        case Tag::Tfoot:
            return;
        case Tag::Body:
            if (FBody != NoNode) {
                FDom.mergeAttributes(FBody, FAttrs);
                return;
            }
            FBody = newElement(Tag::Body, {});
            FDom.appendChild(FDom.root(), FBody);
            FStack.resize(1);
            FStack.push_back(FBody);
            return;
        default:
            break;
        }
        if (isHeadContent(tag) && FBody == NoNode) {
            uint32_t n = newElement(tag, unknownName);
            FDom.appendChild(ensureHead(), n);
            FRawParent = n;
            return;
        }
        ensureBody();
        if (tag == Tag::Td || tag == Tag::Th) {
            for (;;) {
                size_t s = nearestTablePart();
                if (s == 0)
                    return; // a cell outside any table is ignored
                Tag t = FDom.node(FStack[s]).tag;
                if (t == Tag::Td || t == Tag::Th) {
                    FStack.resize(s);
                    continue;
                }
                if (t == Tag::Table) {
                    FStack.resize(s + 1);
                    uint32_t tr = FDom.createNode(Tag::Tr);
                    FDom.appendChild(FStack[s], tr);
                    push(tr, Tag::Tr);
                } else {
                    FStack.resize(s + 1);
                }
                uint32_t cell = newElement(tag, {});
                FDom.appendChild(current(), cell);
                push(cell, tag);
                return;
            }
        }
        if (tag == Tag::Tr) {
            for (;;) {
                size_t s = nearestTablePart();
                if (s == 0)
                    return;
                Tag t = FDom.node(FStack[s]).tag;
                if (t != Tag::Table) {
                    FStack.resize(s);
                    continue;
                }
                FStack.resize(s + 1);
                uint32_t tr = newElement(Tag::Tr, {});
                FDom.appendChild(current(), tr);
                push(tr, Tag::Tr);
                return;
            }
        }
        if (tag == Tag::Table && inTableNotCell()) {
            // A table directly in a table ends the first one.
            for (size_t s = FStack.size(); s-- > 1;) {
                if (FDom.node(FStack[s]).tag == Tag::Table) {
                    FStack.resize(s);
                    break;
                }
            }
        }
        if (closesParagraph(tag)) {
            for (size_t s = FStack.size(); s-- > 1;) {
                Tag t = FDom.node(FStack[s]).tag;
                if (t == Tag::P) {
                    FStack.resize(s);
                    break;
                }
                if (isScopeBoundary(t))
                    break;
            }
        }
        uint32_t n = newElement(tag, unknownName);
        if (isHeadContent(tag))
            FDom.appendChild(current(), n); // style and script stay inside tables
        else
            place(n);
        FRawParent = n;
        if (tag != Tag::Style && tag != Tag::Script && tag != Tag::Title)
            push(n, tag);
    }

    void flushText(qsizetype from, qsizetype to)
    {
        if (to <= from)
            return;
        QStringView text = view(from, to);
        bool allSpace = true;
        for (QChar c : text) {
            if (!isSpace(c.unicode())) {
                allSpace = false;
                break;
            }
        }
        if (allSpace) {
            if (FBody == NoNode || inTableNotCell())
                return;
        } else {
            ensureBody();
        }
        if (mayHoldEntity(text)) {
            QString decoded;
            decodeEntities(text, decoded);
            text = FDom.keep(std::move(decoded));
        }
        uint32_t t = FDom.createNode(Tag::Text, text);
        if (allSpace)
            FDom.appendChild(current(), t);
        else
            place(t);
    }

    Dom& FDom;
    const QString& FSrc;
    const char16_t* FData;
    qsizetype FSize;
    std::vector<uint32_t> FStack;
    std::vector<Attribute> FAttrs;
    uint32_t FBody = NoNode;
    uint32_t FHead = NoNode;
    uint32_t FRawParent = NoNode;
    uint32_t FFosterTable = NoNode;
    bool FSeenElement = false;
    uint32_t FFosterPrev = NoNode;
};

} // namespace

std::unique_ptr<Dom> parseHtml(const QString& html)
{
    auto dom = std::make_unique<Dom>();
    dom->setSource(html);
    const QString& s = dom->source();
    // A generous estimate saves regrowing: reserved pages that are never touched cost nothing.
    dom->reserve(size_t(s.size()) / 8 + 16, size_t(s.size()) / 16 + 16);
    Parser parser(*dom, s);
    parser.run();
    return dom;
}

} // namespace htmlview
