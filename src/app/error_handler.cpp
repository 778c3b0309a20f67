#include "app/error_handler.h"

#include "app/app_info.h"
#include "tasks/prompts.h"

#include <QEvent>
#include <QMetaEnum>
#include <QSysInfo>
#include <QWidget>

QString ErrorMessage(const std::exception& error)
{
    // Every error of the program carries its message as UTF-8 in what().
    return QString::fromUtf8(error.what());
}

QString ErrorDetails(const QString& operation)
{
    return QStringLiteral("Program: %1 %2\nPlatform: %3 (%4), Qt %5\nOperation: %6")
        .arg(ProductName, FileVersion(), QSysInfo::prettyProductName(),
             QSysInfo::currentCpuArchitecture(), QString::fromLatin1(qVersion()), operation);
}

void ReportError(const QString& message, const QString& operation)
{
    try {
        QWidget* parent = QApplication::activeModalWidget();
        if (!parent)
            parent = QApplication::activeWindow();
        Prompts::error(parent, message, ErrorDetails(operation));
    } catch (...) {
        // Nothing sensible is left to do when the error box itself fails.
    }
}

bool RunGuarded(const QString& operation, const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        ReportError(ErrorMessage(error), operation);
    } catch (...) {
        ReportError(QStringLiteral("An unknown error occurred."), operation);
    }
    return false;
}

TQuillmarkApplication::TQuillmarkApplication(int& argc, char** argv) : QApplication(argc, argv)
{
}

bool TQuillmarkApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        const QString eventName =
            QString::fromLatin1(QMetaEnum::fromType<QEvent::Type>().valueToKey(event->type()));
        const QString receiverName =
            QStringLiteral("%1 \"%2\"")
                .arg(QString::fromLatin1(receiver->metaObject()->className()),
                     receiver->objectName());
        ReportError(ErrorMessage(error),
                    QStringLiteral("%1 event of %2").arg(eventName, receiverName));
    } catch (...) {
        ReportError(QStringLiteral("An unknown error occurred."), QStringLiteral("event delivery"));
    }
    return false;
}
