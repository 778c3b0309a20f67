// Exports of a small list holding every kind of value, compared with the texts expected.

#include "exchange/task_uid.h"
#include "exchange_fixture.h"

TEST_F(ExchangeFixture, EachFormatWritesTheExpectedText)
{
    fillSample();
    struct Case {
        ExchangeFormat format;
        const char* expected;
    };
    const Case cases[] = {
        {ExchangeFormat::ICalendar, "sample_export.ics"},
        {ExchangeFormat::Csv, "sample_export.csv"},
        {ExchangeFormat::TodoTxt, "sample_export.txt"},
    };
    for (const Case& c : cases) {
        const ExportResult result = ExportTasks(FTable, c.format);
        EXPECT_EQ(result.tasks, 5);
        EXPECT_EQ(QString::fromUtf8(result.data), QString::fromUtf8(Fixture(c.expected)))
            << c.expected;
    }
}

TEST_F(ExchangeFixture, ICalendarLinesStayWithinTheirLength)
{
    fillSample();
    const QByteArray ics = ExportTasks(FTable, ExchangeFormat::ICalendar).data;
    for (const QByteArray& line : ics.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.toStdString(); // 75 octets and the CR
        // A fold never splits a character.
        EXPECT_FALSE(QString::fromUtf8(line).contains(QChar::ReplacementCharacter))
            << line.toStdString();
    }
    EXPECT_TRUE(ics.endsWith("END:VCALENDAR\r\n"));
}

TEST_F(ExchangeFixture, UidsStayTheSameAndTellTwinsApart)
{
    fillSample();
    const QByteArray first = ExportTasks(FTable, ExchangeFormat::ICalendar).data;
    // Another order of the table, another session: the same text.
    FTable.SetIndexName(SortModeName(smTiDePrCr));
    EXPECT_EQ(ExportTasks(FTable, ExchangeFormat::ICalendar).data, first);
    // The table keeps its order, in which the page shown counts its record indexes.
    EXPECT_EQ(FTable.IndexName(), SortModeName(smTiDePrCr));
    const std::vector<QString> uids = TaskUids(FTable);
    ASSERT_EQ(uids.size(), 5u);
    EXPECT_NE(uids[3], uids[4]); // same title, same second
    EXPECT_EQ(uids[3], TaskUid(At(2026, 3, 2, 7, 0), "Water plants"));
    // Derived from the second, not the milliseconds.
    EXPECT_EQ(TaskUid(At(2026, 1, 5, 9, 30, 15, 250), "Pay rent"),
              TaskUid(At(2026, 1, 5, 9, 30, 15), "Pay rent"));
    EXPECT_NE(TaskUid(At(2026, 1, 5, 9, 30, 16), "Pay rent"),
              TaskUid(At(2026, 1, 5, 9, 30, 15), "Pay rent"));
    EXPECT_NE(TaskUid(At(2026, 1, 5, 9, 30, 15), "Pay Rent"),
              TaskUid(At(2026, 1, 5, 9, 30, 15), "Pay rent"));
}

TEST_F(ExchangeFixture, TodoTxtSaysThatDetailsAreLeftOut)
{
    fillSample();
    const ExportResult todo = ExportTasks(FTable, ExchangeFormat::TodoTxt);
    EXPECT_EQ(todo.notes, QStringList({"todo.txt has no place for details: the details of 2 "
                                       "tasks are not in the file."}));
    EXPECT_TRUE(ExportTasks(FTable, ExchangeFormat::Csv).notes.isEmpty());
    EXPECT_TRUE(ExportTasks(FTable, ExchangeFormat::ICalendar).notes.isEmpty());
}

TEST_F(ExchangeFixture, AnEmptyListExportsItsFrame)
{
    EXPECT_EQ(ExportTasks(FTable, ExchangeFormat::Csv).data,
              "\xEF\xBB\xBFTitle,Category,Created,Deadline,Priority,Completed,Details\r\n");
    EXPECT_EQ(ExportTasks(FTable, ExchangeFormat::TodoTxt).data, "");
    EXPECT_EQ(ExportTasks(FTable, ExchangeFormat::ICalendar).data,
              "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Quillmark//Quillmark " QM_VERSION
              "//EN\r\nEND:VCALENDAR\r\n");
}

TEST_F(ExchangeFixture, ExportToAFileIsWholeOrNothing)
{
    fillSample();
    const QString out = FDir.filePath("out.csv");
    ExportTasksToFile(FTable, ExchangeFormat::Csv, out);
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), Fixture("sample_export.csv"));
    EXPECT_THROW(ExportTasksToFile(FTable, ExchangeFormat::Csv, FDir.filePath("no/such/out.csv")),
                 ExchangeError);
    // Never over the list it comes from, under any of its names.
    const QByteArray list = listBytes();
    ASSERT_TRUE(QFile::link(FList, FDir.filePath("link.csv")));
    for (const QString& name : {FList, FDir.filePath("link.csv"), FDir.filePath("./list.qmtd")})
        EXPECT_THROW(ExportTasksToFile(FTable, ExchangeFormat::Csv, name), ExchangeError)
            << name.toStdString();
    EXPECT_EQ(listBytes(), list);
}

TEST(ExchangeFormats, NamesAndExtensions)
{
    EXPECT_EQ(ExchangeFormatFromName("ICS"), ExchangeFormat::ICalendar);
    EXPECT_EQ(ExchangeFormatFromName("todotxt"), ExchangeFormat::TodoTxt);
    EXPECT_FALSE(ExchangeFormatFromName("vcal"));
    EXPECT_EQ(ExchangeFormatFromFileName("/a/b/Calendar.ICS"), ExchangeFormat::ICalendar);
    EXPECT_EQ(ExchangeFormatFromFileName("tasks.csv"), ExchangeFormat::Csv);
    EXPECT_EQ(ExchangeFormatFromFileName("todo.txt"), ExchangeFormat::TodoTxt);
    EXPECT_FALSE(ExchangeFormatFromFileName("list.qmtd"));
    EXPECT_FALSE(ExchangeFormatFromFileName("noextension"));
    EXPECT_EQ(ChooseExchangeFormat("csv", "x.ics"), ExchangeFormat::Csv);
    EXPECT_EQ(ChooseExchangeFormat("", "x.ics"), ExchangeFormat::ICalendar);
    EXPECT_THROW(ChooseExchangeFormat("", "x.doc"), ExchangeError);
    EXPECT_THROW(ChooseExchangeFormat("doc", "x.ics"), ExchangeError);
}
