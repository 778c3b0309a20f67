#include "app/access_keys.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

namespace {

bool HasMarker(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] != QLatin1Char('&'))
            return true;
        ++i; // "&&" is a literal ampersand
    }
    return false;
}

// The position in the displayed text to mark, or -1.
qsizetype ChooseKey(const QString& shown, QSet<QChar>& used)
{
    const auto usable = [&](qsizetype i) {
        return shown[i].isLetterOrNumber() && !used.contains(shown[i].toLower());
    };
    for (qsizetype i = 0; i < shown.size(); ++i)
        if ((i == 0 || !shown[i - 1].isLetterOrNumber()) && usable(i))
            return i;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (usable(i))
            return i;
    return -1;
}

// Rebuilds the caption with "&" doubled and the chosen character marked.
QString Marked(const QString& shown, qsizetype key)
{
    QString result;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (i == key)
            result += QLatin1Char('&');
        result += shown[i];
        if (shown[i] == QLatin1Char('&'))
            result += QLatin1Char('&');
    }
    return result;
}

void AssignTo(const QList<QAction*>& actions)
{
    QSet<QChar> used;
    for (QAction* action : actions) {
        if (action->isSeparator() || !HasMarker(action->text()))
            continue;
        const QString caption = action->text();
        for (qsizetype i = 0; i + 1 < caption.size(); ++i)
            if (caption[i] == QLatin1Char('&') && caption[i + 1] != QLatin1Char('&'))
                used.insert(caption[i + 1].toLower());
    }
    for (QAction* action : actions) {
        if (action->isSeparator() || HasMarker(action->text()))
            continue;
        const QString shown = StripAccessKey(action->text());
        const qsizetype key = ChooseKey(shown, used);
        if (key < 0)
            continue;
        used.insert(shown[key].toLower());
        action->setText(Marked(shown, key));
    }
}

} // namespace

QString StripAccessKey(const QString& caption)
{
    QString result;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&'))
                result += caption[++i];
            continue;
        }
        result += caption[i];
    }
    return result;
}

void AssignAccessKeys(QMenu* menu)
{
    AssignTo(menu->actions());
    for (QAction* action : menu->actions())
        if (QMenu* submenu = action->menu())
            AssignAccessKeys(submenu);
}

void AssignAccessKeys(QMenuBar* menuBar)
{
    AssignTo(menuBar->actions());
    for (QAction* action : menuBar->actions())
        if (QMenu* menu = action->menu())
            AssignAccessKeys(menu);
}
