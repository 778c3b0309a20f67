// The window with a settings file that cannot be read whole, and with a recent list whose name
// is not UTF-8.

#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "platform/file_names.h"
#include "tasks/prompts.h"

#include <QDir>
#include <QFile>

TEST_F(AppTest, DamagedSettingsAreToldOnceAndWhatCouldBeReadIsUsed)
{
    // A list under a name that is not UTF-8, named in a settings file whose header is broken.
    const QByteArray listBytes = QFile::encodeName(FDir.path()) + "/caf\xE9.qmtd";
    const QString list = DecodeFileName(listBytes);
    WriteSimpleList(list, 2, 0);
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings\nRecentOpenFiles=sz:\"" + listBytes + "\nLastOpenFile=sz:\"" + listBytes +
               "\"\nFTaskSortMode=dword:5\n");
    file.close();

    TFormMain& form = Start();
    ASSERT_EQ(Messages().size(), 1) << Messages().join('\n').toStdString();
    EXPECT_TRUE(Messages().front().contains("could not be read"))
        << Messages().front().toStdString();
    EXPECT_EQ(form.TaskSortModeField(), smTiDePrCr);
    EXPECT_TRUE(form.taskViewer().documentSource().contains("Open task 1"));
    Stop();

    const QStringList copies = QDir(QFileInfo(settingsFile()).absolutePath())
                                   .entryList({"Quillmark ToDo (unreadable *).conf"});
    EXPECT_EQ(copies.size(), 1);
    Prompts::clearShown();
    TFormMain& again = Start();
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join('\n').toStdString();
    EXPECT_EQ(again.TaskSortModeField(), smTiDePrCr);
    EXPECT_TRUE(again.taskViewer().documentSource().contains("Open task 1"));
    Stop();
    ::unlink(listBytes.constData()); // QTemporaryDir cannot spell it
}
