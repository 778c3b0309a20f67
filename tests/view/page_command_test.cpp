// qmtd page: the page of a list file as the window would load it, with the default colours and
// font, today's date and the short date format.

#include "cli/cli_command.h"
#include "qstring_printer.h"
#include "shared/datetime.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class PageCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        SetClock([] { return QDateTime(QDate(2026, 3, 15), QTime(12, 0)); });
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("list.qmtd"));
    }
    void TearDown() override
    {
        SetClock({});
        SetShortDateFormat(QString());
    }

    int run(const QStringList& arguments, QString* output = nullptr)
    {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        const int status = RunQmtd(arguments, outStream, errStream);
        outStream.flush();
        if (output)
            *output = out;
        lastError = err;
        return status;
    }

    void makeList()
    {
        ASSERT_EQ(run({"new", file}), 0) << lastError.toStdString();
        ASSERT_EQ(run({"add", file, "Pay <rent>", "--category", "Home", "--deadline", "2026-03-15",
                       "--priority", "high", "--details", "Rent\r\nhttps://bank.example/pay"}),
                  0)
            << lastError.toStdString();
        ASSERT_EQ(run({"add", file, "Someday", "--priority", "low"}), 0);
        ASSERT_EQ(run({"add", file, "Finished", "--deadline", "2026-03-13"}), 0);
        ASSERT_EQ(run({"done", file, "1"}), 0) << lastError.toStdString(); // "Finished" comes first
    }

    QTemporaryDir dir;
    QString file;
    QString lastError;
};

QString withoutRuntimeDir(QString page)
{
    return page.replace(QStringLiteral(QM_RUNTIME_DIR), QStringLiteral("BIN"));
}

TEST_F(PageCommandTest, PrintsTheUncompletedPage)
{
    int argc = 1;
    char name[] = QM_RUNTIME_DIR "/view_page_command_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv); // the images are looked for beside the executable
    makeList();
    QString page;
    ASSERT_EQ(run({"page", file}, &page), 0) << lastError.toStdString();
    QFile expected(QStringLiteral(QM_TEST_DATA_DIR "/view/cli_page.html"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    EXPECT_EQ(withoutRuntimeDir(page), QString::fromUtf8(expected.readAll()));
}

TEST_F(PageCommandTest, CompletedViewForPrinting)
{
    makeList();
    QString page;
    ASSERT_EQ(run({"page", file, "--completed", "--print", "--order", "smTiDePrCr"}, &page), 0);
    EXPECT_TRUE(page.contains(QStringLiteral(
        "<td class=\"completed\"><span style=\"font-size:smaller\">Completed:<br></span>15/03/2026"
        "</td>\r\n<td class=\"priority\"><span style=\"font-size:smaller\">Priority:<br></span>"
        "Normal</td>\r\n<td></td>\r\n</tr>\r\n")));
    EXPECT_EQ(page.count(QStringLiteral("<td class=\"tasktitle\">")), 1);
    EXPECT_FALSE(page.contains(QStringLiteral("act:")));
    EXPECT_FALSE(page.contains(QStringLiteral("class=\"group\"")));
}

TEST_F(PageCommandTest, Failures)
{
    makeList();
    EXPECT_EQ(run({"page", file, "--order", "smNothing"}), 2);
    EXPECT_EQ(run({"page", dir.filePath("missing.qmtd")}), 1);
    EXPECT_EQ(run({"page"}), 2);
    EXPECT_EQ(run({"page", file, "--colour"}), 2);
}
} // namespace
