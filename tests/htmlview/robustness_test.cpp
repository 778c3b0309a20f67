// Whatever the input, loading, laying out, painting, selecting and printing finish.

#include "htmlview/html_view.h"
#include "test_app.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Robustness, RandomMarkupFromPagePieces)
{
    ensureTestApp();
    const QString pieces[] = {
        u"<table"_qs,
        u"<tr>"_qs,
        u"<td colspan=\"5\">"_qs,
        u"</td>"_qs,
        u"</tr>"_qs,
        u"</table>"_qs,
        u"<td width=96>"_qs,
        u"<span style=\"font-size:smaller\">"_qs,
        u"</span>"_qs,
        u"<br>"_qs,
        u"<a href=\"act:done/1\">"_qs,
        u"</a>"_qs,
        u"<img src=\"/none.png\" border=\"0\">"_qs,
        u"<b>"_qs,
        u"<i>"_qs,
        u"<p>"_qs,
        u"&nbsp;"_qs,
        u"&amp;"_qs,
        u"&#"_qs,
        u"<"_qs,
        u">"_qs,
        u"\""_qs,
        u"<!--"_qs,
        u"-->"_qs,
        u"<style>td{padding:99px;font-size:300%}"_qs,
        u"</style>"_qs,
        u"<header>"_qs,
        u" "_qs,
        u"word "_qs,
        u"longerwordwithoutspaces"_qs,
        u"\r\n"_qs,
        u"<table cellspacing=\"-5\" border=\"99999\">"_qs,
        u"<td colspan=\"100000\">"_qs,
        u"<font size=7>"_qs,
        u"<div style=\"width:-5px;margin:-100px;padding:1e9px\">"_qs,
        u"</div>"_qs,
        u"<body style=\"margin:10px\">"_qs,
    };
    const int pieceCount = int(std::size(pieces));
    QRandomGenerator rng(20261210);
    HtmlView view;
    view.resize(300, 200);
    QPrinter printer(QPrinter::ScreenResolution);
    QTemporaryDir dir;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.path() + u"/r.pdf"_qs);
    for (int round = 0; round < 200; ++round) {
        QString html;
        const int n = int(rng.bounded(120));
        for (int i = 0; i < n; ++i)
            html += pieces[rng.bounded(pieceCount)];
        view.loadFromString(html);
        QImage img = view.grab().toImage();
        ASSERT_FALSE(img.isNull());
        view.selectAll();
        (void)view.selectedText();
        view.setPosition(int(rng.bounded(10000)));
        (void)view.linkAt(QPoint(int(rng.bounded(300)), int(rng.bounded(200))));
        if (round % 40 == 0) {
            EXPECT_GE(view.printerPageCount(&printer), 1);
        }
    }
}

TEST(Robustness, EmptyDocumentAndClear)
{
    ensureTestApp();
    HtmlView view;
    view.resize(200, 100);
    EXPECT_EQ(view.documentText(), QString());
    EXPECT_EQ(view.selectedText(), QString());
    view.loadFromString(u"<p>x</p>"_qs);
    view.clear();
    EXPECT_EQ(view.documentText(), QString());
    EXPECT_EQ(view.position(), 0);
    EXPECT_FALSE(view.grab().isNull());
}

} // namespace
