#include "app/help_window.h"

#include "shared/todo_global.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

void RegisterHelpResource()
{
    Q_INIT_RESOURCE(app);
}

void ShowHelpWindow(QWidget* parent)
{
    static QPointer<QTextBrowser> window;
    if (!window) {
        window = new QTextBrowser(parent);
        window->setWindowFlag(Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(QStringLiteral("%1 Help").arg(ProductName));
        window->setOpenExternalLinks(true);
        window->resize(640, 560);
        // The copy beside the program when there is one, else the one built into the program.
        const QString besideProgram =
            QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html");
        window->setSource(QFileInfo::exists(besideProgram)
                              ? QUrl::fromLocalFile(besideProgram)
                              : QUrl(QStringLiteral("qrc:/help/index.html")));
    }
    window->show();
    window->raise();
    window->activateWindow();
}
