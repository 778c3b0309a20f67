#include "app/help_window.h"

#include "platform/data_folder.h"
#include "shared/todo_global.h"

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
        // The installed copy when there is one, else the one built into the program.
        const QString installed = DataFolder() + QStringLiteral("/help/index.html");
        window->setSource(QFileInfo::exists(installed)
                              ? QUrl::fromLocalFile(installed)
                              : QUrl(QStringLiteral("qrc:/help/index.html")));
    }
    window->show();
    window->raise();
    window->activateWindow();
}
