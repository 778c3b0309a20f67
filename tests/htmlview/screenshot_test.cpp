// Renders sample pages offscreen into the build folder so that a person can look at them.

#include "../../bench/htmlview_sample_page.h"
#include "htmlview/html_view.h"
#include "test_app.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString outputDir()
{
    return QDir::currentPath();
}

TEST(HtmlViewScreenshot, TaskPageAndGreetingAreSaved)
{
    ensureTestApp();
    // The images stay beside the saved page so that a browser can show the same file.
    const QString theme = outputDir() + QStringLiteral("/htmlview_theme");
    htmlview_sample::writeButtonImages(theme);
    const QString page = htmlview_sample::taskPage(12, QStringLiteral("DejaVu Sans"), 10, theme);
    HtmlView view;
    view.resize(600, 800);
    view.loadFromString(page);
    QImage shot = view.grab().toImage();
    const QString file = outputDir() + QStringLiteral("/htmlview_sample.png");
    ASSERT_TRUE(shot.save(file));
    QFile html(outputDir() + QStringLiteral("/htmlview_sample.html"));
    ASSERT_TRUE(html.open(QIODevice::WriteOnly));
    html.write(page.toUtf8());
    html.close();

    HtmlView greeting;
    greeting.resize(600, 400);
    greeting.loadFromString(htmlview_sample::greetingPage(QStringLiteral("DejaVu Sans"), 10));
    ASSERT_TRUE(
        greeting.grab().toImage().save(outputDir() + QStringLiteral("/htmlview_greeting.png")));
    // The body's background fills the view, not the default white.
    EXPECT_EQ(shot.pixelColor(1, 400), QColor(0xF0, 0xF0, 0xF0));
    // The table's 1px black border, 3px in from the edge.
    EXPECT_EQ(shot.pixelColor(3, 400), QColor(Qt::black));
}

} // namespace
