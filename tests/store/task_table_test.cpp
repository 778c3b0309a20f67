#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/field_value.h"
#include "store/task_table.h"
#include "store/todo_db.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <random>

namespace {

using namespace TaskField;

// A task as the tests describe it; `details` doubles as the task's identity.
struct Task {
    QString title;
    QString category;
    double created = 0;
    double deadline = NullDate;
    int priority = 1;
    double completed = NullDate;
    QString details;
};

void AddTask(TaskTable& table, const Task& task)
{
    table.Append();
    table.SetString(table.FieldIndex(Title), task.title);
    table.SetString(table.FieldIndex(Category), task.category);
    table.SetDateTime(table.FieldIndex(Created), task.created);
    table.SetDateTime(table.FieldIndex(CompleteBy), task.deadline);
    table.SetInteger(table.FieldIndex(Priority), task.priority);
    table.SetDateTime(table.FieldIndex(Completed), task.completed);
    table.SetString(table.FieldIndex(Details), task.details);
}

// The ids (Details) of every record in the named order, walked with First/Next/Eof.
QStringList Walk(TaskTable& table, const QString& order)
{
    table.SetIndexName(order);
    QStringList ids;
    for (table.First(); !table.Eof(); table.Next())
        ids << table.AsString(Details);
    return ids;
}

class TaskTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        table.CreateDataSet(TaskRecordFields());
        AddSortIndexes(table);
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    TaskTable table;
};

// --- the six orders --------------------------------------------------------------------------

TEST_F(TaskTableTest, SixOrdersSortAsDefined)
{
    const double day = 45300; // a Monday in 2024
    const Task tasks[] = {
        {"Write report", "Work", day + 0.50, day + 2, 1, NullDate, "a"},
        {"buy milk", "", day + 0.10, NullDate, 2, day + 3.5, "b"},
        {"Call Bob", "Home", day + 0.20, day + 1, 0, NullDate, "c"},
        {"Answer mail", "Work", day + 0.30, day + 1, 1, day + 2.25, "d"},
        {"Answer mail", "Work", day + 0.40, day + 1, 0, NullDate, "e"},
        {"Zebra", "Home", day + 0.60, NullDate, 0, NullDate, "f"},
    };
    for (const Task& task : tasks)
        AddTask(table, task);

    const struct {
        TSortMode mode;
        QStringList expected;
    } cases[] = {
        // empty category first; per category dated tasks first, no deadline last
        {smCaDePrTiCr, {"b", "c", "f", "e", "d", "a"}},
        // most recently completed last; the uncompleted (NullDate) lead, equal keys in reverse
        // insertion order because a descending order mirrors the ascending one entirely
        {smCompletedDesc, {"f", "e", "c", "a", "b", "d"}},
        {smDePrTiCr, {"e", "c", "d", "a", "f", "b"}},
        {smCreated, {"f", "a", "e", "d", "c", "b"}},
        {smPrDeTiCr, {"e", "c", "f", "d", "a", "b"}},
        {smTiDePrCr, {"e", "d", "b", "c", "a", "f"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(SortModeName(c.mode).toStdString());
        EXPECT_EQ(Walk(table, SortModeName(c.mode)), c.expected);
    }
}

TEST_F(TaskTableTest, CaseVariantsAreAdjacentUnderEveryLocale)
{
    const char* titles[] = {"banana", "Apple", "cherry", "apple", "Banana", "APPLE", "Cherry"};
    int n = 0;
    const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedStates),
                               QLocale(QLocale::German, QLocale::Germany), QLocale::c()};
    for (const QLocale& locale : locales) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        table.CreateDataSet(TaskRecordFields());
        n = 0;
        for (const char* title : titles)
            AddTask(table, {title, "", double(++n), NullDate, 1, NullDate, title});
        const QStringList sorted = Walk(table, SortModeName(smTiDePrCr));
        QStringList folded;
        for (const QString& title : sorted)
            folded << title.toLower();
        EXPECT_EQ(folded,
                  QStringList({"apple", "apple", "apple", "banana", "banana", "cherry", "cherry"}));
        // Case variants are different keys: the order among them does not follow insertion
        // alone but is stable when the table is rebuilt.
        table.SetIndexName({});
        EXPECT_EQ(Walk(table, SortModeName(smTiDePrCr)), sorted);
    }
}

TEST_F(TaskTableTest, NullsSortFirstAscendingAndLastDescending)
{
    table.Append(); // every field null
    table.SetString(table.FieldIndex(Details), "null");
    AddTask(table, {"x", "", 10.0, 5.0, 0, NullDate, "low"});
    AddTask(table, {"y", "", 20.0, NullDate, 0, 30.0, "high"});
    const struct {
        TSortMode mode;
        QStringList expected;
    } cases[] = {
        {smDePrTiCr, {"null", "low", "high"}},
        {smCaDePrTiCr, {"null", "low", "high"}},
        {smCreated, {"high", "low", "null"}},
        {smCompletedDesc, {"low", "high", "null"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(SortModeName(c.mode).toStdString());
        EXPECT_EQ(Walk(table, SortModeName(c.mode)), c.expected);
    }
}

TEST_F(TaskTableTest, OddNumbersFromFilesSortConsistently)
{
    // A foreign file may carry NaN or infinite date-times. Building an order and keeping it
    // current must agree on where they go: NaN after every number, nulls first.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::optional<double> created[] = {nan, 1.0, std::nullopt, -inf, -0.0, 0.0, inf, nan};
    auto load = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            std::vector<FieldValue> values(TaskRecordFields().size());
            if (created[i])
                values[table.FieldIndex(Created)] = FieldValue::fromReal(*created[i]);
            values[table.FieldIndex(Details)] = FieldValue::fromText(QString::number(i));
            table.AppendRecord(std::move(values));
        }
    };
    load(0, 8);
    const QStringList built = Walk(table, SortModeName(smCreated));
    EXPECT_EQ(built, QStringList({"7", "0", "6", "1", "5", "4", "3", "2"}));
    table.CreateDataSet(TaskRecordFields());
    table.SetIndexName(SortModeName(smCreated)); // built while empty, kept current record by record
    load(0, 8);
    EXPECT_EQ(Walk(table, SortModeName(smCreated)), built);
}

TEST_F(TaskTableTest, AddSortIndexesKeepsExistingDefinitions)
{
    TaskTable other;
    other.CreateDataSet(TaskRecordFields());
    other.AddIndex(SortModeName(smCreated), Title, false);
    AddSortIndexes(other);
    for (int mode = 0; mode < SortModeCount; ++mode)
        EXPECT_TRUE(other.HasIndex(SortModeName(mode)));
    AddTask(other, {"b", "", 1, NullDate, 1, NullDate, "b"});
    AddTask(other, {"a", "", 2, NullDate, 1, NullDate, "a"});
    EXPECT_EQ(Walk(other, SortModeName(smCreated)), QStringList({"a", "b"}));
    // Definitions survive closing and a new field set; the orders rebuild over new records.
    other.Close();
    other.CreateDataSet(TaskRecordFields());
    AddTask(other, {"d", "", 1, NullDate, 1, NullDate, "d"});
    AddTask(other, {"c", "", 2, NullDate, 1, NullDate, "c"});
    EXPECT_EQ(other.IndexName(), QString());
    EXPECT_EQ(Walk(other, SortModeName(smCreated)), QStringList({"c", "d"}));
}

// --- orders kept current -----------------------------------------------------------------------

// Reference model: the orders re-derived from the records with plain collator comparisons.
struct ModelTask {
    Task task;
    quint64 seq;
};

enum class Key { Title, Category, Created, Deadline, Priority, Completed };

struct OrderDef {
    TSortMode mode;
    std::vector<Key> keys;
    bool descending;
};

const std::vector<OrderDef>& OrderDefs()
{
    static const std::vector<OrderDef> defs = {
        {smCaDePrTiCr,
         {Key::Category, Key::Deadline, Key::Priority, Key::Title, Key::Created},
         false},
        {smCompletedDesc, {Key::Completed}, true},
        {smDePrTiCr, {Key::Deadline, Key::Priority, Key::Title, Key::Created}, false},
        {smCreated, {Key::Created}, true},
        {smPrDeTiCr, {Key::Priority, Key::Deadline, Key::Title, Key::Created}, false},
        {smTiDePrCr, {Key::Title, Key::Deadline, Key::Priority, Key::Created}, false},
    };
    return defs;
}

QStringList ModelOrder(const std::vector<ModelTask>& model, const OrderDef& def)
{
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setCaseSensitivity(Qt::CaseSensitive);
    auto cmp = [&](const ModelTask& a, const ModelTask& b) {
        for (Key key : def.keys) {
            int c = 0;
            auto num = [](double x, double y) { return x < y ? -1 : (y < x ? 1 : 0); };
            switch (key) {
            case Key::Title:
                c = collator.compare(a.task.title, b.task.title);
                break;
            case Key::Category:
                c = collator.compare(a.task.category, b.task.category);
                break;
            case Key::Created:
                c = num(a.task.created, b.task.created);
                break;
            case Key::Deadline:
                c = num(a.task.deadline, b.task.deadline);
                break;
            case Key::Priority:
                c = num(a.task.priority, b.task.priority);
                break;
            case Key::Completed:
                c = num(a.task.completed, b.task.completed);
                break;
            }
            if (c != 0)
                return def.descending ? c > 0 : c < 0;
        }
        return def.descending ? a.seq > b.seq : a.seq < b.seq;
    };
    std::vector<ModelTask> sorted = model;
    std::sort(sorted.begin(), sorted.end(), cmp);
    QStringList ids;
    for (const ModelTask& m : sorted)
        ids << m.task.details;
    return ids;
}

TEST_F(TaskTableTest, RandomChangesKeepBuiltAndUnbuiltOrdersCurrent)
{
    std::mt19937 random(20240115);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const QStringList titles = {"apple", "Apple", "banana", "Banana", "", "Éclair", "eclair"};
    const QStringList categories = {"", "Home", "home", "Work"};
    const double deadlines[] = {NullDate, 45000, 45001, 45002};
    const double times[] = {100.25, 100.5, 101.0, 102.75}; // repeats give full-key ties
    std::vector<ModelTask> model;
    quint64 seq = 0;
    int nextId = 0;

    // Three orders are built from the start and checked after every step; the other three are
    // only selected at the end, built over whatever the changes left.
    const TSortMode checked[] = {smCaDePrTiCr, smCompletedDesc, smTiDePrCr};
    for (TSortMode mode : checked)
        table.SetIndexName(SortModeName(mode));

    for (int step = 0; step < 400; ++step) {
        SCOPED_TRACE(step);
        const TSortMode current = checked[pick(3)];
        const OrderDef& currentDef = OrderDefs()[current];
        table.SetIndexName(SortModeName(current));
        const int op = model.size() < 5 ? 0 : pick(10);
        if (op < 4) {
            Task task{titles[pick(titles.size())],
                      categories[pick(categories.size())],
                      times[pick(4)],
                      deadlines[pick(4)],
                      pick(3),
                      pick(2) ? NullDate : times[pick(4)],
                      QString::number(nextId++)};
            AddTask(table, task);
            model.push_back({task, seq++});
            EXPECT_EQ(table.AsString(Details), task.details);
        } else if (op < 8) {
            const QStringList order = ModelOrder(model, currentDef);
            const int recNo = 1 + pick(int(model.size()));
            table.SetRecNo(recNo);
            const QString id = table.AsString(Details);
            ASSERT_EQ(id, order[recNo - 1]);
            auto it = std::find_if(model.begin(), model.end(),
                                   [&](const ModelTask& m) { return m.task.details == id; });
            const int which = pick(6);
            Key key = Key::Title;
            switch (which) {
            case 0:
                it->task.title = titles[pick(titles.size())];
                table.SetString(table.FieldIndex(Title), it->task.title);
                key = Key::Title;
                break;
            case 1:
                it->task.category = categories[pick(categories.size())];
                table.SetString(table.FieldIndex(Category), it->task.category);
                key = Key::Category;
                break;
            case 2:
                it->task.created = times[pick(4)];
                table.SetDateTime(table.FieldIndex(Created), it->task.created);
                key = Key::Created;
                break;
            case 3:
                it->task.deadline = deadlines[pick(4)];
                table.SetDateTime(table.FieldIndex(CompleteBy), it->task.deadline);
                key = Key::Deadline;
                break;
            case 4:
                it->task.priority = pick(3);
                table.SetInteger(table.FieldIndex(Priority), it->task.priority);
                key = Key::Priority;
                break;
            default:
                it->task.completed = pick(2) ? NullDate : times[pick(4)];
                table.SetDateTime(table.FieldIndex(Completed), it->task.completed);
                key = Key::Completed;
                break;
            }
            // The cursor follows the record; its index is where the model puts it.
            EXPECT_EQ(table.AsString(Details), id);
            const QStringList after = ModelOrder(model, currentDef);
            EXPECT_EQ(table.RecNo(), after.indexOf(id) + 1);
            const auto& keys = currentDef.keys;
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
                EXPECT_EQ(table.RecNo(), recNo);
            }
        } else {
            const QStringList order = ModelOrder(model, currentDef);
            const int recNo = 1 + pick(int(model.size()));
            table.SetRecNo(recNo);
            table.Delete();
            const QString gone = order[recNo - 1];
            model.erase(std::find_if(model.begin(), model.end(),
                                     [&](const ModelTask& m) { return m.task.details == gone; }));
            if (recNo < order.size()) {
                EXPECT_FALSE(table.Eof());
                EXPECT_EQ(table.AsString(Details), order[recNo]);
                EXPECT_EQ(table.RecNo(), recNo);
            } else {
                EXPECT_TRUE(table.Eof());
            }
        }
        ASSERT_EQ(table.RecordCount(), int(model.size()));
        for (TSortMode mode : checked)
            ASSERT_EQ(Walk(table, SortModeName(mode)), ModelOrder(model, OrderDefs()[mode]))
                << SortModeName(mode).toStdString();
    }
    for (const OrderDef& def : OrderDefs())
        EXPECT_EQ(Walk(table, SortModeName(def.mode)), ModelOrder(model, def))
            << SortModeName(def.mode).toStdString();
    // Insertion order: creation sequence, deletions closing the gaps.
    QStringList inserted;
    for (const ModelTask& m : model)
        inserted << m.task.details;
    EXPECT_EQ(Walk(table, QString()), inserted);
    for (int i = 0; i < int(model.size()); ++i)
        EXPECT_EQ(table.RawValue(i, table.FieldIndex(Details)).text(), inserted[i]);
}

TEST_F(TaskTableTest, CompletingKeepsRecordIndexInOrdersWithoutCompleted)
{
    for (int i = 0; i < 6; ++i)
        AddTask(table, {QString("t%1").arg(i), i % 2 ? "Home" : "", 100.0 + i, 45000.0 + i % 3,
                        i % 3, NullDate, QString::number(i)});
    for (TSortMode mode : {smCaDePrTiCr, smDePrTiCr, smCreated, smPrDeTiCr, smTiDePrCr}) {
        SCOPED_TRACE(SortModeName(mode).toStdString());
        const QStringList before = Walk(table, SortModeName(mode));
        table.SetRecNo(3);
        const QString id = table.AsString(Details);
        table.SetDateTime(table.FieldIndex(Completed), 200.0 + int(mode));
        EXPECT_EQ(table.RecNo(), 3);
        EXPECT_EQ(table.AsString(Details), id);
        EXPECT_EQ(Walk(table, SortModeName(mode)), before);
    }
    // In the completed order the record moves, and the cursor with it.
    table.SetIndexName(SortModeName(smCompletedDesc));
    table.SetRecNo(1); // an uncompleted task
    const QString id = table.AsString(Details);
    table.SetDateTime(table.FieldIndex(Completed), 300.0);
    EXPECT_EQ(table.AsString(Details), id);
    const int recNo = table.RecNo();
    const QStringList completedOrder = Walk(table, SortModeName(smCompletedDesc));
    EXPECT_EQ(completedOrder.indexOf(id) + 1, recNo);
    // Latest completion: right behind the tasks still uncompleted.
    table.SetRecNo(recNo - 1 > 0 ? recNo - 1 : 1);
    if (recNo > 1) {
        EXPECT_EQ(table.AsDateTime(Completed), NullDate);
    }
    table.SetRecNo(recNo + 1);
    EXPECT_LT(table.AsDateTime(Completed), 300.0);
}

// --- cursor --------------------------------------------------------------------------------------

TEST_F(TaskTableTest, CursorOnEmptyAndSingleRecordTable)
{
    table.First();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.RecNo(), 0);
    EXPECT_EQ(table.AsString(Title), QString());
    EXPECT_THROW(table.SetString(0, "x"), TaskStoreError);
    EXPECT_THROW(table.Delete(), TaskStoreError);

    AddTask(table, {"only", "", 1, NullDate, 1, NullDate, "only"});
    EXPECT_FALSE(table.Eof());
    EXPECT_EQ(table.RecNo(), 1);
    table.Next();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.AsString(Details), "only"); // Eof stays on the last record
    table.First();
    EXPECT_FALSE(table.Eof());
    table.Delete();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.RecNo(), 0);
}

TEST_F(TaskTableTest, SetRecNoOutsideTheListRaisesAndKeepsTheCursor)
{
    for (int i = 0; i < 5; ++i)
        AddTask(table, {"t", "", double(i), NullDate, 1, NullDate, QString::number(i)});
    table.SetIndexName(SortModeName(smCreated));
    table.SetRecNo(2);
    for (int bad : {0, -1, 6, 1000}) {
        try {
            table.SetRecNo(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const TaskStoreError& error) {
            EXPECT_EQ(error.message(),
                      QString("Task number %1 is outside the list (1 to 5).").arg(bad));
        }
        EXPECT_EQ(table.RecNo(), 2);
        EXPECT_EQ(table.AsString(Details), "3");
    }
}

TEST_F(TaskTableTest, DeleteWhileWalkingVisitsEveryRecordOnce)
{
    // The purge walk: delete matching records, step over the others.
    for (int i = 0; i < 8; ++i)
        AddTask(table,
                {"t", "", double(i), NullDate, 1, i % 3 ? 50.0 + i : NullDate, QString::number(i)});
    table.SetIndexName(SortModeName(smDePrTiCr));
    QStringList visited;
    table.First();
    while (!table.Eof()) {
        visited << table.AsString(Details);
        if (table.AsDateTime(Completed) != NullDate && table.AsDateTime(Completed) < 56.0)
            table.Delete();
        else
            table.Next();
    }
    EXPECT_EQ(visited, QStringList({"0", "1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(Walk(table, QString()), QStringList({"0", "3", "6", "7"}));
}

TEST_F(TaskTableTest, SelectingAnOrderKeepsTheCursorsRecord)
{
    for (int i = 0; i < 5; ++i)
        AddTask(table, {QString(QChar('e' - i)), "", double(i), NullDate, 1, NullDate,
                        QString::number(i)});
    table.SetRecNo(2); // insertion order: "1", title "d"
    table.SetIndexName(SortModeName(smTiDePrCr));
    EXPECT_EQ(table.AsString(Details), "1");
    EXPECT_EQ(table.RecNo(), 4);
    table.SetIndexName(SortModeName(smCreated));
    EXPECT_EQ(table.RecNo(), 4);
    table.SetIndexName(QString());
    EXPECT_EQ(table.RecNo(), 2);
}

// --- field kinds -------------------------------------------------------------------------------

TEST(TaskTableFieldKinds, ReadsConvertBetweenKinds)
{
    SetShortDateFormat("M/d/yy");
    const struct {
        FieldKind kind;
        int size;
        FieldValue value;
        QString text;
        std::optional<qint64> integer; // nullopt: reading raises
        std::optional<double> dateTime;
    } cases[] = {
        {FieldKind::AnsiString, 20, FieldValue::fromBytes(QByteArray("ab\0cd", 5)), "ab",
         std::nullopt, std::nullopt},
        {FieldKind::AnsiString, 20, FieldValue::fromBytes(QByteArray(1, '\0')), "", std::nullopt,
         std::nullopt},
        {FieldKind::AnsiMemo, 0, FieldValue::fromBytes("42"), "42", 42, std::nullopt},
        {FieldKind::WideString, 20, FieldValue::fromText(" 7 "), " 7 ", 7, std::nullopt},
        {FieldKind::WideString, 20, FieldValue::fromText("2024-01-16"), "2024-01-16", std::nullopt,
         45307.0},
        {FieldKind::DateTime, 0, FieldValue::fromReal(45306.5), "1/15/24 12:00:00", 45306, 45306.5},
        {FieldKind::Date, 0, FieldValue::fromReal(45306.0), "1/15/24", 45306, 45306.0},
        {FieldKind::Unsigned, 2, FieldValue::fromInteger(2), "2", 2, 2.0},
        {FieldKind::Integer, 4, FieldValue::fromInteger(-3), "-3", -3, -3.0},
        {FieldKind::Float, 8, FieldValue::fromReal(2.5), "2.5", 3, 2.5},
        {FieldKind::Boolean, 2, FieldValue::fromInteger(1), "True", 1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        TaskTable table;
        table.CreateDataSet({{"F", c.kind, c.size, 0, {}, 0}});
        table.AppendRecord({c.value});
        EXPECT_EQ(table.AsString(0), c.text);
        if (c.integer)
            EXPECT_EQ(table.AsInteger(0), *c.integer);
        else
            EXPECT_THROW(table.AsInteger(0), TaskStoreError);
        if (c.dateTime)
            EXPECT_DOUBLE_EQ(table.AsDateTime(0), *c.dateTime);
        else
            EXPECT_THROW(table.AsDateTime(0), TaskStoreError);
        // Null reads as empty text, 0 and date-time 0 whatever the kind.
        table.SetNull(0);
        EXPECT_TRUE(table.IsNull(0));
        EXPECT_EQ(table.AsString(0), QString());
        EXPECT_EQ(table.AsInteger(0), 0);
        EXPECT_EQ(table.AsDateTime(0), 0.0);
    }
    SetShortDateFormat(QString());
}

TEST(TaskTableFieldKinds, WritesCheckWhatTheFieldCanHold)
{
    TaskTable table;
    table.CreateDataSet({{Priority, FieldKind::Unsigned, 2, 0, {}, 0},
                         {"Small", FieldKind::Integer, 1, 0, {}, 0},
                         {"Ansi", FieldKind::AnsiString, 10, 0, {}, 0},
                         {Created, FieldKind::DateTime, 0, 0, {}, 0}});
    table.Append();
    table.SetInteger(0, 65535);
    EXPECT_THROW(table.SetInteger(0, 65536), TaskStoreError);
    EXPECT_THROW(table.SetInteger(0, -1), TaskStoreError);
    EXPECT_EQ(table.AsInteger(0), 65535);
    EXPECT_THROW(table.SetInteger(1, 128), TaskStoreError);
    table.SetInteger(1, -128);
    EXPECT_THROW(table.SetString(0, "high"), TaskStoreError);
    table.SetString(2, "plain");
    EXPECT_EQ(table.CurrentValue(2).bytes(), QByteArray("plain"));
    EXPECT_THROW(table.SetDateTime(3, std::numeric_limits<double>::quiet_NaN()), TaskStoreError);
    table.SetDateTime(3, NullDate);
    EXPECT_EQ(table.AsDateTime(3), NullDate);
    // The raw append refuses a value of the wrong alternative.
    EXPECT_THROW(table.AppendRecord({FieldValue::fromText("1"), {}, {}, {}}), TaskStoreError);
    EXPECT_THROW(table.AppendRecord({{}, {}}), TaskStoreError);
}

// --- errors
// ---------------------------------------------------------------------------------------

TEST_F(TaskTableTest, ErrorsNameWhatIsMissing)
{
    const struct {
        std::function<void()> action;
        QString message;
    } cases[] = {
        {[&] { table.FieldIndex("Foo"); }, "Field 'Foo' not found"},
        {[&] { table.AsString(QStringLiteral("Foo")); }, "Field 'Foo' not found"},
        {[&] { table.SetIndexName("smNothing"); }, "Index 'smNothing' not found"},
        {[&] {
             table.AddIndex("byColour", "Task Title;Colour", false);
             table.SetIndexName("byColour");
         },
         "Field 'Colour' not found"},
        {[&] { table.AddIndex(SortModeName(smCreated), Created, true); },
         "Index 'smCreated' already exists"},
    };
    table.SetIndexName(SortModeName(smCreated));
    for (const auto& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << "no error for " << c.message.toStdString();
        } catch (const TaskStoreError& error) {
            EXPECT_EQ(error.message(), c.message);
        }
    }
    // A failed selection keeps the order that was current.
    EXPECT_EQ(table.IndexName(), SortModeName(smCreated));
    EXPECT_EQ(table.FindField("Foo"), -1);

    table.Close();
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_THROW(table.Append(), TaskStoreError);
    EXPECT_THROW(table.First(), TaskStoreError);
}

} // namespace
