#include "view/greeting_page.h"

QString GreetingPageText(const QString& styleSheet)
{
    const QString lines[] = {
        QStringLiteral("<html>"),
        QStringLiteral("<header>"),
        QStringLiteral("<style type=\"text/css\"><!--"),
        styleSheet,
        QStringLiteral("--></style>"),
        QStringLiteral("</header>"),
        QStringLiteral("<body style=\"margin:10px\">"),
        QStringLiteral("Welcome to <b><i>Quillmark</i></b>! <p><a href=\"qmk:createlist\">Start "
                       "your to-do list now.</a> <p>You'll be asked what to call the data file. "
                       "You may want to create more than one to-do list, so be sure to give it a "
                       "descriptive name. <p>(You can always create a new list by selecting "
                       "<i>New To-Do List</i> on the <i>File</i> menu.)  "),
        QStringLiteral("</body></html>"),
    };
    QString page;
    for (const QString& line : lines) {
        page += line;
        page += QLatin1StringView("\r\n");
    }
    return page;
}
