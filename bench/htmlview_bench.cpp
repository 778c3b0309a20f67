// Loading and painting the task list page in the HTML view, against QTextBrowser on the same
// text. Run with QT_QPA_PLATFORM=offscreen on a machine without a display.

#include "htmlview/accessibility.h"
#include "htmlview/document.h"
#include "htmlview/html_parser.h"
#include "htmlview/html_view.h"
#include "htmlview/image_cache.h"
#include "htmlview/layout.h"
#include "htmlview/paint.h"
#include "htmlview/text_measurer.h"
#include "htmlview_sample_page.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <ctime>
#include <fstream>
#include <map>
#include <string>

namespace {

constexpr int PageWidth = 581;

QTemporaryDir* imageDir()
{
    static QTemporaryDir* dir = [] {
        auto* d = new QTemporaryDir;
        htmlview_sample::writeButtonImages(d->path() + QStringLiteral("/Theme"));
        return d;
    }();
    return dir;
}

const QString& page(int tasks)
{
    static std::map<int, QString> pages;
    auto it = pages.find(tasks);
    if (it == pages.end())
        it = pages
                 .emplace(tasks,
                          htmlview_sample::taskPage(tasks, QStringLiteral("Verdana"), 10,
                                                    imageDir()->path() + QStringLiteral("/Theme")))
                 .first;
    return it->second;
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

// Parse, style, box building and layout at the view's width: ready to paint. The measurer and
// the image cache live as long as the view does, so they are shared across iterations.
void BM_HtmlViewLoad(benchmark::State& state)
{
    const QString& html = page(int(state.range(0)));
    htmlview::QtTextMeasurer measurer;
    htmlview::ImageCache images;
    size_t items = 0, nodes = 0, boxes = 0, inlineItems = 0;
    for (auto _ : state) {
        htmlview::Document doc(html, measurer, images);
        htmlview::DisplayList list = doc.layout(PageWidth);
        items = list.items.size();
        nodes = doc.dom().nodeCount();
        boxes = doc.boxes().boxes.size();
        inlineItems = doc.boxes().items.size();
        benchmark::DoNotOptimize(list.height);
    }
    state.counters["display_items"] = double(items);
    state.counters["nodes"] = double(nodes);
    state.counters["boxes"] = double(boxes);
    state.counters["inline_items"] = double(inlineItems);
    state.counters["html_kchars"] = double(html.size()) / 1000.0;
}
BENCHMARK(BM_HtmlViewLoad)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// The same work split into its phases (milliseconds per phase as counters).
void BM_HtmlViewPhases(benchmark::State& state)
{
    const QString& html = page(int(state.range(0)));
    htmlview::QtTextMeasurer measurer;
    htmlview::ImageCache images;
    double parse = 0, style = 0, boxes = 0, layout = 0;
    // Thread CPU time: wall time on a shared machine says more about the neighbours.
    struct Clock {
        static double now()
        {
            timespec ts;
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
            return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
        }
    };
    auto ms = [](double d) { return d; };
    for (auto _ : state) {
        auto t0 = Clock::now();
        auto dom = htmlview::parseHtml(html);
        auto t1 = Clock::now();
        htmlview::StyleResolver styles(*dom);
        styles.resolveAll();
        auto t2 = Clock::now();
        htmlview::BoxTree tree = htmlview::buildBoxTree(*dom, styles, measurer, images);
        auto t3 = Clock::now();
        htmlview::DisplayList list = htmlview::layoutBoxTree(tree, PageWidth);
        auto t4 = Clock::now();
        benchmark::DoNotOptimize(list.height);
        parse += ms(t1 - t0);
        style += ms(t2 - t1);
        boxes += ms(t3 - t2);
        layout += ms(t4 - t3);
    }
    double n = double(state.iterations());
    state.counters["parse_ms"] = parse / n;
    state.counters["style_ms"] = style / n;
    state.counters["boxes_ms"] = boxes / n;
    state.counters["layout_ms"] = layout / n;
}
BENCHMARK(BM_HtmlViewPhases)->Arg(5000)->Unit(benchmark::kMillisecond);

// The whole widget path, as the main window uses it.
void BM_HtmlViewWidgetLoad(benchmark::State& state)
{
    const QString& html = page(int(state.range(0)));
    HtmlView view;
    view.resize(PageWidth, 600);
    for (auto _ : state) {
        view.loadFromString(html);
        benchmark::DoNotOptimize(view.documentSize());
    }
}
BENCHMARK(BM_HtmlViewWidgetLoad)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_QTextBrowserLoad(benchmark::State& state)
{
    const QString& html = page(int(state.range(0)));
    QTextBrowser browser;
    browser.resize(PageWidth, 600);
    for (auto _ : state) {
        browser.setHtml(html);
        browser.document()->setTextWidth(PageWidth);
        benchmark::DoNotOptimize(browser.document()->size().height());
    }
}
BENCHMARK(BM_QTextBrowserLoad)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// One viewport (581 x 600) painted from the middle of the 5,000-task page.
void BM_HtmlViewPaintViewport(benchmark::State& state)
{
    htmlview::QtTextMeasurer measurer;
    htmlview::ImageCache images;
    htmlview::Document doc(page(5000), measurer, images);
    htmlview::DisplayList list = doc.layout(PageWidth);
    QImage target(PageWidth, 600, QImage::Format_ARGB32_Premultiplied);
    const float top = list.height / 2;
    htmlview::PaintOptions options;
    options.fontDpi = measurer.dpi();
    for (auto _ : state) {
        QPainter p(&target);
        p.translate(0, -top);
        htmlview::paintDisplayList(p, list, doc.boxes(), QRectF(0, top, PageWidth, 600), options);
        p.end();
    }
}
BENCHMARK(BM_HtmlViewPaintViewport)->Unit(benchmark::kMillisecond);

// Memory held by a loaded 5,000-task page: resident size before and after (the large arrays are
// mapped directly, so the heap counters of malloc do not see them); the page text is the
// caller's and counted separately. Most telling when run alone: --benchmark_filter=Memory
void BM_HtmlViewMemory5000(benchmark::State& state)
{
    const QString& html = page(5000);
    for (auto _ : state) {
        long before = residentKb();
        auto* view = new HtmlView;
        view->resize(PageWidth, 600);
        view->loadFromString(html);
        long after = residentKb();
        state.counters["rss_delta_mb"] = double(after - before) / 1024.0;
        state.counters["html_text_mb"] = double(html.size() * 2) / (1024.0 * 1024.0);
        delete view;
    }
}
BENCHMARK(BM_HtmlViewMemory5000)->Iterations(1)->Unit(benchmark::kMillisecond);

// A page shown in a focused view with its tasks' row groups, as the main window has it.
struct FocusedPage {
    explicit FocusedPage(int tasks)
    {
        view.resize(PageWidth, 600);
        view.loadFromString(page(tasks));
        view.setRowGroups(htmlview_sample::taskRowGroups(tasks));
        view.show();
        view.activateWindow();
        for (int i = 0; i < 100 && !view.hasFocus(); ++i) {
            view.setFocus();
            QApplication::processEvents();
        }
        QApplication::processEvents();
    }
    HtmlView view;
};

// One key press moving the current task down, and the repaint it asks for (the old and new
// focus frames, or the viewport when it scrolls). The page is neither rebuilt nor laid out.
void BM_MoveCurrentTask(benchmark::State& state)
{
    const int tasks = int(state.range(0));
    FocusedPage shown(tasks);
    HtmlView& view = shown.view;
    if (!view.hasFocus())
        state.SkipWithError("the view did not get the focus");
    const QSize size = view.documentSize();
    long scrolls = 0;
    // How much of the viewport each move repaints.
    struct PaintedArea : QObject {
        double area = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                    area += double(r.width()) * r.height();
            return false;
        }
    } painted;
    view.viewport()->installEventFilter(&painted);
    for (auto _ : state) {
        const bool last = view.currentRowGroup() == tasks - 1;
        const int before = view.position();
        QKeyEvent key(QEvent::KeyPress, last ? Qt::Key_Home : Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(&view, &key);
        QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        scrolls += view.position() != before;
    }
    if (view.documentSize() != size)
        state.SkipWithError("the page was laid out again");
    state.counters["scroll_share"] = double(scrolls) / double(state.iterations());
    state.counters["painted_share"] =
        painted.area / double(state.iterations()) /
        (double(view.viewport()->width()) * view.viewport()->height());
}
BENCHMARK(BM_MoveCurrentTask)->Arg(5000)->Unit(benchmark::kMillisecond);

class SampleWords : public HtmlRowGroupDescription {
public:
    QString name(const HtmlRowGroup& g) const override
    {
        return QStringLiteral("Task %1; category Group %2; no deadline; normal priority")
            .arg(g.tag)
            .arg(g.tag / 10 + 1);
    }
    QString description(const HtmlRowGroup&) const override { return {}; }
    QStringList actions(const HtmlRowGroup&) const override
    {
        return {QStringLiteral("Edit"), QStringLiteral("Complete"), QStringLiteral("Do again"),
                QStringLiteral("More")};
    }
    QString linkName(const QString&) const override { return QStringLiteral("Edit this task"); }
};

// Rounds of a screen reader reading a freshly loaded page: the document's children and the name,
// state and size of every task row, and with `links` also every link of every row with its
// name. The tree is dropped before each round.
void AccessibleTreeRounds(benchmark::State& state, bool links)
{
    const int tasks = int(state.range(0));
    FocusedPage shown(tasks);
    HtmlView& view = shown.view;
    SampleWords words;
    view.setRowGroupDescription(&words);
    const std::vector<HtmlRowGroup> groups = htmlview_sample::taskRowGroups(tasks);
    size_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        view.setRowGroups(groups); // drops the children built in the last round
        state.ResumeTiming();
        nodes = 0;
        QAccessibleInterface* doc = QAccessible::queryAccessibleInterface(&view);
        const int count = doc->childCount();
        for (int i = 0; i < count; ++i) {
            QAccessibleInterface* row = doc->child(i);
            benchmark::DoNotOptimize(row->text(QAccessible::Name));
            benchmark::DoNotOptimize(row->state());
            const int children = row->childCount();
            for (int j = 0; links && j < children; ++j, ++nodes)
                benchmark::DoNotOptimize(row->child(j)->text(QAccessible::Name));
            ++nodes;
        }
    }
    state.counters["nodes"] = double(nodes);
}

void BM_AccessibleTree(benchmark::State& state)
{
    AccessibleTreeRounds(state, false);
}
BENCHMARK(BM_AccessibleTree)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_AccessibleTreeWithLinks(benchmark::State& state)
{
    AccessibleTreeRounds(state, true);
}
BENCHMARK(BM_AccessibleTreeWithLinks)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
