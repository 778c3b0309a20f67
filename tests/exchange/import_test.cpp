// Imports of files written by hand in the styles other programs write, and of broken ones.

#include "exchange_fixture.h"
#include "store/list_file_save.h"

namespace {

constexpr double None = NullDate;

class ImportTest : public ExchangeFixture {
protected:
    ImportReport importFixture(const QString& name, ExchangeFormat format)
    {
        return ImportTasks(FTable, ReadSource(Fixture(name), format, name));
    }
    void expectTasks(const std::vector<TaskEntry>& expected)
    {
        const std::vector<TaskEntry> got = tasks();
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i], expected[i]) << "task " << i + 1;
    }
};

// The fixture's now.
double fixtureNow()
{
    return At(2026, 3, 15, 12, 0);
}

} // namespace

TEST_F(ImportTest, ThunderbirdStyle)
{
    const ImportReport r = importFixture("thunderbird_style.ics", ExchangeFormat::ICalendar);
    EXPECT_EQ(r.Summary("thunderbird_style.ics"),
              "Imported 2 tasks from thunderbird_style.ics; skipped 1: 1 event (VEVENT).");
    expectTasks({
        {"Renew passport", "Errands", At(2026, 3, 1, 9, 15), At(2026, 3, 20), 0, None,
         "Photos from the shop on the corner, two of them.\r\nBring the old one."},
        {"Return library books", "", At(2026, 2, 15, 11, 10, 10), At(2026, 2, 28), 2,
         At(2026, 3, 1, 12, 30), ""},
    });
}

TEST_F(ImportTest, OutlookStyle)
{
    const ImportReport r = importFixture("outlook_style.ics", ExchangeFormat::ICalendar);
    EXPECT_EQ(r.Summary("o.ics"), "Imported 1 task from o.ics.");
    // A Windows zone name with its definition; lines folded with a tab; IN-PROCESS is not done.
    expectTasks({
        {"Prepare the quarterly report for the board meeting in April", "",
         At(2026, 3, 3, 15, 15, 16), At(2026, 3, 31), 0, None,
         "Quarterly figures for the board; the slides are on the share drive, folder Q1.\r\n"},
    });
}

TEST_F(ImportTest, AppleStyle)
{
    importFixture("apple_style.ics", ExchangeFormat::ICalendar);
    expectTasks({
        // No CREATED: the DTSTAMP; a floating due time is the local day.
        {"Call the garage", "", At(2026, 3, 5, 8, 0), At(2026, 3, 18), 1, None, ""},
        // 23:00 UTC is already the next day in Berlin.
        {"Send the parcel", "", At(2026, 3, 4, 21, 0), At(2026, 3, 18), 1, None, ""},
        // 20:00 in New York, a zone the file does not define, is 01:00 the next day here.
        {"Book the New York hotel", "", At(2026, 3, 4, 21, 0), At(2026, 3, 21), 2, None, ""},
    });
}

TEST_F(ImportTest, EvolutionStyleWithItemsThatAreNoTasks)
{
    const ImportReport r = importFixture("evolution_style.ics", ExchangeFormat::ICalendar);
    EXPECT_EQ(r.Summary("e.ics"),
              "Imported 2 tasks from e.ics; skipped 5: 1 cancelled task, 1 journal entry "
              "(VJOURNAL), 2 events (VEVENT), 1 repeating a UID met earlier in the file.");
    expectTasks({
        // The first of several categories, with its escaped comma.
        {"Water the balcony plants", "Home,Garden", At(2026, 3, 1, 11, 0), At(2026, 3, 7), 1, None,
         ""},
        // Due from DTSTART and DURATION; COMPLETED without STATUS is done.
        {"Fix the bike", "", At(2026, 3, 3, 10, 0), At(2026, 3, 12), 0, At(2026, 3, 11, 17, 0), ""},
    });
}

TEST_F(ImportTest, SpreadsheetStyleCsv)
{
    importFixture("spreadsheet_semicolons.csv", ExchangeFormat::Csv);
    expectTasks({
        {"Order new glasses", "Health", fixtureNow(), At(2026, 3, 25), 0, None,
         "Optician on Main Street;\r\nask for the blue frames"},
        {"Tax return", "", fixtureNow(), At(2026, 5, 31), 1, None, ""},
        {"Buy \"good\" coffee", "Shopping", fixtureNow(), None, 2, None, ""},
    });
    CloseTaskStore(FTable);
    open("other.qmtd");
    const ImportReport r = importFixture("other_columns.csv", ExchangeFormat::Csv);
    EXPECT_EQ(r.imported, 2);
    expectTasks({
        {"Clean the gutters", "House", fixtureNow(), At(2026, 4, 12), 1, None,
         "Ladder is in the shed"},
        {"Renew the car insurance", "Car", fixtureNow(), At(2026, 3, 31), 1, None, ""},
    });
}

TEST_F(ImportTest, TodoTxtAsCommonlyWritten)
{
    importFixture("todotxt_style.txt", ExchangeFormat::TodoTxt);
    expectTasks({
        {"Call Mom @phone", "Family", fixtureNow(), None, 0, None, ""},
        {"Schedule annual checkup", "Health", At(2026, 3, 1), At(2026, 3, 30), 1, None, ""},
        {"Pay electricity bill", "Bills", At(2026, 3, 1), None, 0, At(2026, 3, 5), ""},
        {"Sweep the garage", "", At(2026, 3, 6), None, 1, At(2026, 3, 6), ""},
        {"Buy a new toothbrush @store", "", At(2026, 3, 2), None, 1, None, ""},
        {"Plant tomatoes +Garden t:2026-04-01", "Spring Planting", fixtureNow(), None, 2, None, ""},
        {"Read \"War and Peace\" rec:1w", "", At(2026, 3, 3), None, 2, None, ""},
        {"File the expense report", "Work", At(2026, 3, 2), None, 1, At(2026, 3, 7), ""},
    });
}

TEST_F(ImportTest, TextsLongerThanTheListHoldsAreCutAndSaidSo)
{
    const QByteArray csv =
        "Title,Category\r\n" + QByteArray(250, 't') + "," + QByteArray(60, 'c') + "\r\n";
    const ImportReport r = ImportTasks(FTable, ReadSource(csv, ExchangeFormat::Csv, "long.csv"));
    EXPECT_EQ(r.Summary("long.csv"),
              "Imported 1 task from long.csv. Longer titles were cut to 200 characters. Longer "
              "categories were cut to 50 characters.");
    EXPECT_EQ(tasks()[0].title, QString(200, 't'));
    EXPECT_EQ(tasks()[0].category, QString(50, 'c'));
}

TEST_F(ImportTest, NothingIsImportedTwice)
{
    fillSample();
    const QByteArray before = listBytes();
    for (ExchangeFormat f : {ExchangeFormat::ICalendar, ExchangeFormat::Csv}) {
        const QByteArray exported = ExportTasks(FTable, f).data;
        const ImportReport r = ImportTasks(FTable, ReadSource(exported, f, "again"));
        EXPECT_EQ(r.imported, 0) << ExchangeFormatName(f).toStdString();
        EXPECT_EQ(r.Summary("again"),
                  "Imported 0 tasks from again; skipped 5: 5 already in the list.");
    }
    // When everything is skipped the list is not even saved.
    EXPECT_EQ(listBytes(), before);
    // A foreign file twice: its tasks come in once.
    EXPECT_EQ(importFixture("thunderbird_style.ics", ExchangeFormat::ICalendar).imported, 2);
    EXPECT_EQ(importFixture("thunderbird_style.ics", ExchangeFormat::ICalendar).imported, 0);
    EXPECT_EQ(tasks().size(), 7u);
}

TEST_F(ImportTest, AnImportIsSavedAsOneChange)
{
    importFixture("todotxt_style.txt", ExchangeFormat::TodoTxt);
    const std::vector<TaskEntry> inMemory = tasks();
    // What the file holds is what the table holds: the list saved after the last task.
    CloseTaskStore(FTable);
    open("list.qmtd");
    EXPECT_EQ(tasks(), inMemory);
}

TEST_F(ImportTest, MalformedSourcesNameTheLineAndChangeNothing)
{
    fillSample();
    const QByteArray before = listBytes();
    struct Case {
        ExchangeFormat format;
        QByteArray source;
        QString message;
    };
    const QByteArray head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:1\r\n";
    const QByteArray tail = "END:VTODO\r\nEND:VCALENDAR\r\n";
    const Case cases[] = {
        {ExchangeFormat::ICalendar, "", "s line 1: no iCalendar data"},
        {ExchangeFormat::ICalendar, "Title,Category\r\nx,y\r\n",
         "s line 1: not an iCalendar line (NAME:VALUE): Title,Category"},
        {ExchangeFormat::ICalendar, "BEGIN:VTODO\r\nEND:VTODO\r\n",
         "s line 1: not an iCalendar file: BEGIN:VCALENDAR expected"},
        {ExchangeFormat::ICalendar, head + "DUE:tomorrow\r\n" + tail,
         "s line 5: DUE is not a date or date-time: tomorrow"},
        {ExchangeFormat::ICalendar, head + "SUMMARY:x\r\nDUE;VALUE=DATE:20261345\r\n" + tail,
         "s line 6: DUE is a date no calendar has"},
        {ExchangeFormat::ICalendar, head + "COMPLETED:2026-03-01\r\n" + tail,
         "s line 5: COMPLETED is not a date or date-time: 2026-03-01"},
        {ExchangeFormat::ICalendar, head + "PRIORITY:12\r\n" + tail,
         "s line 5: PRIORITY must be 0 to 9, not 12"},
        {ExchangeFormat::ICalendar, head + "SUMMARY no colon\r\n" + tail,
         "s line 5: not an iCalendar line (NAME:VALUE): SUMMARY no colon"},
        {ExchangeFormat::ICalendar, head + "END:VEVENT\r\n" + tail,
         "s line 5: END:VEVENT where VTODO (begun on line 3) ends"},
        {ExchangeFormat::ICalendar, head, "s line 4: the file ends inside VTODO (begun on line 3)"},
        {ExchangeFormat::ICalendar, " folded\r\n" + head + tail,
         "s line 1: a continued line with nothing to continue"},
        {ExchangeFormat::ICalendar, head + tail + "SUMMARY:stray\r\n",
         "s line 7: SUMMARY outside BEGIN:VCALENDAR and END:VCALENDAR"},
        {ExchangeFormat::ICalendar, head + QByteArray("SUMMARY:a\0b\r\n", 13) + tail,
         "s line 5: a NUL character"},
        {ExchangeFormat::Csv, "", "s line 1: no header row"},
        {ExchangeFormat::Csv, "Name,Due\r\nx,2026-01-01\r\n",
         "s line 1: the header row names no Title column"},
        {ExchangeFormat::Csv, "Title,Details\r\nok,fine\r\nbad,\"never\r\nends\r\n",
         "s line 3: a quoted field that never ends"},
        {ExchangeFormat::Csv, "Title,Details\r\n\"a\"b,c\r\n",
         "s line 2: text after the closing quote of a field"},
        {ExchangeFormat::Csv, "Title,Details\r\na,b\r\nc,d,e\r\n",
         "s line 3: 3 fields where the header names 2"},
        {ExchangeFormat::Csv, "Title,Deadline\r\n\"two\r\nlines\",2026-02-30\r\n",
         "s line 2: Deadline \"2026-02-30\" is not a date (YYYY-MM-DD, with HH:MM:SS after it "
         "for a time)"},
        {ExchangeFormat::Csv, "Title,Priority\r\na,urgent\r\n",
         "s line 2: Priority \"urgent\" is not High, Normal or Low"},
        {ExchangeFormat::TodoTxt, "ok\nfine due:2026-13-01\n",
         "s line 2: \"2026-13-01\" is not a date (YYYY-MM-DD)"},
        {ExchangeFormat::TodoTxt, "x 2026-02-31 done\n",
         "s line 1: \"2026-02-31\" is not a date (YYYY-MM-DD)"},
    };
    for (const Case& c : cases) {
        try {
            ImportTasks(FTable, ReadSource(c.source, c.format, "s"));
            ADD_FAILURE() << "no error for " << c.source.toStdString();
        } catch (const ExchangeError& e) {
            EXPECT_EQ(e.message(), c.message);
            EXPECT_FALSE(e.message().contains(u'\n'));
        }
    }
    EXPECT_EQ(listBytes(), before);
    EXPECT_EQ(tasks().size(), 5u);
}

TEST_F(ImportTest, ForgivingWhereOthersDifferHarmlessly)
{
    // LF line ends, lower-case property names, a byte order mark, several calendars in one file.
    const QByteArray ics = "\xEF\xBB\xBF"
                           "BEGIN:VCALENDAR\nbegin:vtodo\nuid:a\nsummary:First\nend:vtodo\n"
                           "END:VCALENDAR\nBEGIN:VCALENDAR\nBEGIN:VTODO\nUID:b\nSUMMARY:Second\n"
                           "END:VTODO\nEND:VCALENDAR\n";
    EXPECT_EQ(ImportTasks(FTable, ReadSource(ics, ExchangeFormat::ICalendar, "s")).imported, 2);
    // A CSV without a final line end, and blank lines.
    const QByteArray csv = "Title\n\nlast one";
    EXPECT_EQ(ImportTasks(FTable, ReadSource(csv, ExchangeFormat::Csv, "s")).imported, 1);
    // Rows that stop short of the header: what they leave out is empty, whichever column it is.
    const QByteArray shortRows = "Category,Title,Details\r\nHome\r\nWork,Report\r\n";
    EXPECT_EQ(ImportTasks(FTable, ReadSource(shortRows, ExchangeFormat::Csv, "s")).imported, 2);
    std::vector<QString> titles, categories;
    for (const TaskEntry& t : tasks()) {
        titles.push_back(t.title);
        categories.push_back(t.category);
    }
    EXPECT_EQ(titles, (std::vector<QString>{"First", "Second", "last one", "", "Report"}));
    EXPECT_EQ(categories, (std::vector<QString>{"", "", "", "Home", "Work"}));
}

TEST_F(ImportTest, AnImportWritesWhatAddingEachTaskWouldWrite)
{
    // One save for the whole import, and the same bytes as the tasks added one at a time.
    const SourceTasks source =
        ReadSource(Fixture("todotxt_style.txt"), ExchangeFormat::TodoTxt, "t");
    ImportTasks(FTable, source);
    const QByteArray imported = listBytes();
    CloseTaskStore(FTable);
    open("one_by_one.qmtd");
    for (const SourceTask& s : source.tasks) {
        const TaskEntry& t = s.task;
        AppendTask(FTable, t.title, t.category, t.created, t.deadline, t.priority, t.details);
        if (t.completed != NullDate) {
            const double completed = t.completed;
            SetClock([completed] { return DecodeDateTime(completed); });
            MarkTaskCompleted(FTable, FTable.RecNo()); // the cursor is on the task just added
        }
    }
    EXPECT_EQ(listBytes(), imported);
}

TEST_F(ImportTest, AnImportThatCannotBeSavedLeavesTheListAsItWas)
{
    fillSample();
    const QByteArray before = listBytes();
    const std::vector<TaskEntry> tasksBefore = tasks();
    SetSaveFaultHook([](SaveStep step, qint64 bytes) -> qint64 {
        return step == SaveStep::WriteList ? bytes / 2 : bytes; // cut short half way
    });
    const SourceTasks source =
        ReadSource(Fixture("thunderbird_style.ics"), ExchangeFormat::ICalendar, "t");
    EXPECT_THROW(ImportTasks(FTable, source), TaskStoreError);
    SetSaveFaultHook({});
    EXPECT_EQ(tasks(), tasksBefore);
    CloseTaskStore(FTable);
    open("list.qmtd");
    EXPECT_EQ(listBytes(), before);
    EXPECT_EQ(tasks(), tasksBefore);
    // With the disk well again the same import goes through.
    EXPECT_EQ(ImportTasks(FTable, source).imported, 2);
}
