#pragma once
// Builds a task list page in the markup the program writes: style sheet in a header element,
// group rows, alternating task and details rows, details with web links, and the nested
// tables of image buttons. Used by the HTML view's benchmark and tests.

#include "htmlview/row_groups.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <vector>

namespace htmlview_sample {

inline QString styleSheet(const QString& fontFamily, int fontSize)
{
    return QStringLiteral(
               "body { background-color: #F0F0F0; font-family: %1; font-size: %2pt; color:#000000 }"
               "table { background-color: #FFFFFF; font-size: %2pt; padding: 0px; }"
               "td { border: 0px; margin: 0px 0px 0px 0px; padding: 5px 5px 5px 5px; text-align: "
               "left; "
               "vertical-align: top; }"
               ".action { margin: 0px 0px 0px 0px; padding: 0px 0px 0px 0px; }"
               ".alert {color: Yellow; background-color: Red; }"
               ".alternate { background-color: #E3E3E3; }"
               ".button { border: 0px; font-size: smaller; text-decoration: none; }"
               ".button img{ border: 0px; }"
               ".details { font-size: smaller; }"
               ".group { background-color: #0078D7; color: #FFFFFF}"
               ".tasktitle { font-weight: bold; }")
        .arg(fontFamily)
        .arg(fontSize);
}

// Writes the five button images into `dir` (created when missing).
inline void writeButtonImages(const QString& dir)
{
    QDir().mkpath(dir);
    const char* names[] = {"edittask.png", "taskdone.png", "dotaskagain.png", "more.png",
                           "undotask.png"};
    const QColor colors[] = {QColor(0x30, 0x70, 0xC0), QColor(0x20, 0xA0, 0x40),
                             QColor(0xE0, 0x90, 0x20), QColor(0x70, 0x70, 0x70),
                             QColor(0xB0, 0x30, 0x30)};
    for (int i = 0; i < 5; ++i) {
        QImage img(20, 20, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(colors[i]);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(1, 1, 18, 18), 4, 4);
        p.end();
        img.save(dir + QLatin1Char('/') + QLatin1String(names[i]));
    }
}

inline QString smallCaption(const QString& text)
{
    return QStringLiteral("<span style=\"font-size:smaller\">%1<br></span>").arg(text);
}

// A page of `tasks` uncompleted tasks grouped by category, ten to a group.
inline QString taskPage(int tasks, const QString& fontFamily, int fontSize, const QString& imageDir)
{
    QStringList lines;
    lines << QStringLiteral("<html>") << QStringLiteral("<header>")
          << QStringLiteral("<style type=\"text/css\" media=\"screen\"><!--")
          << styleSheet(fontFamily, fontSize) << QStringLiteral("--></style>")
          << QStringLiteral("</header>") << QStringLiteral("<body>")
          << QStringLiteral(
                 "<table cellspacing=\"0\" style=\"border: 1px solid black; margin: 3px\">");
    const QString img = imageDir + QLatin1Char('/');
    static const char* titles[] = {"Call the plumber about the kitchen sink",
                                   "Write the quarterly report", "Buy birthday present for Anna",
                                   "Renew passport", "Review pull request for the parser"};
    static const char* details[] = {"Ask whether the old pipes can stay or must be replaced, and "
                                    "get a written quote before the "
                                    "work starts. Reference number 4471 from the last visit.",
                                    "Figures from finance are due on Friday; see "
                                    "http://intranet.example.com/reports?q=3&year=2026. "
                                    "Keep it under ten pages.",
                                    "",
                                    "Photos at the shop on Main Street; the form is at "
                                    "https://www.example.org/passport/renew.\r\n"
                                    "Bring the old passport and the fee.",
                                    "Check the handling of unclosed tags and entities such as "
                                    "&amp; and &lt; in attribute values "
                                    "and text; run the whole test suite twice."};
    bool alternate = false;
    for (int i = 0; i < tasks; ++i) {
        const int rec = i + 1;
        if (i % 10 == 0)
            lines << QStringLiteral(
                         "<tr><td class=\"group\" colspan=\"5\">Category: Group %1</td></tr>")
                         .arg(i / 10 + 1);
        const QString tr =
            alternate ? QStringLiteral("<tr class=\"alternate\">") : QStringLiteral("<tr>");
        lines << tr;
        lines << QStringLiteral("<td class=\"tasktitle\">%1%2 %3</td>")
                     .arg(smallCaption(QStringLiteral("&nbsp;")), QLatin1String(titles[i % 5]))
                     .arg(rec);
        lines << QStringLiteral("<td class=\"category\">%1Group %2</td>")
                     .arg(smallCaption(QStringLiteral("Category:")))
                     .arg(i / 10 + 1);
        if (i % 4 == 0)
            lines << QStringLiteral("<td class=\"deadline\">%1</td>")
                         .arg(smallCaption(QStringLiteral("No&nbsp;deadline")));
        else if (i % 4 == 1)
            lines << QStringLiteral(
                         "<td class=\"deadline\">%1 <span class=\"alert\">%2</span></td>")
                         .arg(smallCaption(QStringLiteral("Deadline:")),
                              QStringLiteral("09/12/2026"));
        else
            lines << QStringLiteral("<td class=\"deadline\">%1%2</td>")
                         .arg(smallCaption(QStringLiteral("Deadline:")),
                              QStringLiteral("24/01/2027"));
        static const char* priorities[] = {"High", "Normal", "Low"};
        lines << QStringLiteral("<td class=\"priority\">%1%2</td>")
                     .arg(smallCaption(QStringLiteral("Priority:")),
                          QLatin1String(priorities[i % 3]));
        lines << QStringLiteral("<td width=\"96\" align=\"right\">");
        QString buttons =
            alternate
                ? QStringLiteral("<table border=\"0\" cellspacing=\"0\" class=\"alternate\"><tr>")
                : QStringLiteral("<table border=\"0\" cellspacing=\"0\"><tr>");
        auto button = [&](const char* action, const char* file) {
            buttons += QStringLiteral("<td class=\"action\"><a href=\"%1/%2\" "
                                      "class=\"button\"><img src=\"%3%4\" border=\"0\"></a></td>")
                           .arg(QLatin1String(action))
                           .arg(rec)
                           .arg(img, QLatin1String(file));
        };
        button("act:edit", "edittask.png");
        button("act:done", "taskdone.png");
        button("act:doagain", "dotaskagain.png");
        button("act:menu", "more.png");
        buttons += QStringLiteral("</tr></table>");
        lines << buttons << QStringLiteral("</td>") << QStringLiteral("</tr>");
        lines << tr;
        QString det = QLatin1String(details[i % 5]);
        det.replace(QStringLiteral("&"), QStringLiteral("&amp;"));
        for (const char* prefix : {"http://", "https://"}) {
            int p = det.indexOf(QLatin1String(prefix));
            if (p >= 0) {
                int e = p;
                while (e < det.size() && det[e] != u' ' && det[e] != u'\r')
                    ++e;
                if (det[e - 1] == u'.')
                    --e;
                QString addr = det.mid(p, e - p);
                QString href = addr;
                href.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
                det.replace(p, e - p, QStringLiteral("<a href=\"%1\">%2</a>").arg(href, addr));
            }
        }
        det.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
        lines << QStringLiteral("<td class=\"details\" colspan=\"5\">%1</td>").arg(det);
        lines << QStringLiteral("</tr>");
        alternate = !alternate;
    }
    if (tasks == 0)
        lines << QStringLiteral("<tr><td>Your to-do list is empty. Click the \"New Task\" button "
                                "above to create a task.</td></tr>");
    lines << QStringLiteral("</table>") << QStringLiteral("</body></html>");
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// The rows of each task of taskPage(tasks, ...): its task row and details row, after the group
// row that starts every ten; keyed and tagged by the task's number.
inline std::vector<HtmlRowGroup> taskRowGroups(int tasks)
{
    std::vector<HtmlRowGroup> groups;
    int row = 0;
    for (int i = 0; i < tasks; ++i) {
        if (i % 10 == 0)
            ++row;
        groups.push_back(HtmlRowGroup{row, 2, quint64(i + 1), i + 1});
        row += 2;
    }
    return groups;
}

inline QString greetingPage(const QString& fontFamily, int fontSize)
{
    QStringList lines;
    lines << QStringLiteral("<html>") << QStringLiteral("<header>")
          << QStringLiteral("<style type=\"text/css\"><!--") << styleSheet(fontFamily, fontSize)
          << QStringLiteral("--></style>") << QStringLiteral("</header>")
          << QStringLiteral("<body style=\"margin:10px\">")
          << QStringLiteral("Welcome to <b><i>Quillmark</i></b>! <p><a "
                            "href=\"qmk:createlist\">Start your to-do list now.</a> "
                            "<p>You'll be asked what to call the data file. You may want to create "
                            "more than one to-do "
                            "list, so be sure to give it a descriptive name. <p>(You can always "
                            "create a new list by "
                            "selecting <i>New To-Do List</i> on the <i>File</i> menu.)  ")
          << QStringLiteral("</body></html>");
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace htmlview_sample
