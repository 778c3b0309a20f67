// qmtd dump: JSON that follows the schema written down in docs/qmtd-dump.schema.json, and the
// stored values with --raw.

#include "cli_fixture.h"
#include "store/todo_db.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

// Checks a value against the part of JSON Schema the dump's schema uses: type, enum, pattern,
// minimum, required, properties, additionalProperties, items, anyOf and local $ref. Returns the
// first violation found, with its path, or nothing.
class SchemaCheck {
public:
    explicit SchemaCheck(const QJsonObject& root) : FRoot(root) {}

    QString check(const QJsonValue& value, const QJsonObject& schema, const QString& path) const
    {
        if (schema.contains("$ref")) {
            const QString ref = schema["$ref"].toString();
            QJsonObject target = FRoot;
            for (const QString& part : ref.mid(2).split(u'/'))
                target = target[part].toObject();
            if (target.isEmpty())
                return path + ": unknown $ref " + ref;
            return check(value, target, path);
        }
        if (schema.contains("anyOf")) {
            for (const QJsonValue& alternative : schema["anyOf"].toArray())
                if (check(value, alternative.toObject(), path).isEmpty())
                    return {};
            return path + ": matches none of anyOf";
        }
        if (schema.contains("type")) {
            const QJsonValue type = schema["type"];
            const QJsonArray types = type.isArray() ? type.toArray() : QJsonArray{type};
            bool matched = false;
            for (const QJsonValue& t : types)
                matched = matched || hasType(value, t.toString());
            if (!matched)
                return path + ": not of type " + QJsonDocument(QJsonArray(types)).toJson();
        }
        if (schema.contains("enum") && !schema["enum"].toArray().contains(value))
            return path + ": not one of the enum";
        if (schema.contains("pattern") && value.isString() &&
            !QRegularExpression(schema["pattern"].toString()).match(value.toString()).hasMatch())
            return path + ": \"" + value.toString() + "\" does not match the pattern";
        if (schema.contains("minimum") && value.isDouble() &&
            value.toDouble() < schema["minimum"].toDouble())
            return path + ": below the minimum";
        if (value.isObject()) {
            const QJsonObject object = value.toObject();
            for (const QJsonValue& name : schema["required"].toArray())
                if (!object.contains(name.toString()))
                    return path + ": lacks " + name.toString();
            const QJsonObject properties = schema["properties"].toObject();
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (!properties.contains(it.key())) {
                    if (schema["additionalProperties"] == QJsonValue(false))
                        return path + ": has the unknown " + it.key();
                    continue;
                }
                const QString problem =
                    check(it.value(), properties[it.key()].toObject(), path + "." + it.key());
                if (!problem.isEmpty())
                    return problem;
            }
        }
        if (value.isArray() && schema.contains("items")) {
            const QJsonArray items = value.toArray();
            for (qsizetype i = 0; i < items.size(); ++i) {
                const QString problem = check(items[i], schema["items"].toObject(),
                                              QStringLiteral("%1[%2]").arg(path).arg(i));
                if (!problem.isEmpty())
                    return problem;
            }
        }
        return {};
    }

private:
    static bool hasType(const QJsonValue& v, const QString& type)
    {
        if (type == "integer")
            return v.isDouble() && v.toDouble() == qint64(v.toDouble());
        return (type == "string" && v.isString()) || (type == "null" && v.isNull()) ||
               (type == "object" && v.isObject()) || (type == "array" && v.isArray()) ||
               (type == "number" && v.isDouble()) || (type == "boolean" && v.isBool());
    }
    QJsonObject FRoot;
};

QJsonObject schema()
{
    QFile f(QStringLiteral(QM_SOURCE_DIR "/docs/qmtd-dump.schema.json"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QJsonDocument::fromJson(f.readAll()).object();
}

class DumpTest : public CliFixture {
protected:
    // A task of every kind of value: each priority, with and without deadline, category and
    // details, completed or not, times with and without milliseconds, texts JSON must escape.
    void makeList()
    {
        ok({"new", FList});
        at(QDateTime(QDate(2026, 3, 1), QTime(9, 30, 0, 250)));
        ok({"add", FList, "-q", "Say \"hi\" \\ wave\ttab", "--category", "Home", "--deadline",
            "2026-03-20", "--priority", "high", "--details", "line one\nline two"});
        at(QDateTime(QDate(2026, 3, 2), QTime(10, 0)));
        ok({"add", FList, "-q", QStringLiteral("Café ☕"), "--priority", "low"});
        at(QDateTime(QDate(2026, 3, 3), QTime(11, 0)));
        ok({"add", FList, "-q", "Done already", "--deadline", "2026-03-10"});
        at(QDateTime(QDate(2026, 3, 4), QTime(12, 15, 30)));
        ok({"done", FList, "1"}); // by deadline: Done already (10 March) comes first
    }
    QJsonObject dumpOf(const QStringList& extra = {})
    {
        const QString out = ok(QStringList{"dump", FList} + extra);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << out.toStdString();
        return doc.object();
    }
};

} // namespace

TEST_F(DumpTest, TasksFollowTheWrittenSchema)
{
    makeList();
    const QJsonObject root = schema();
    ASSERT_FALSE(root.isEmpty());
    const SchemaCheck checker(root);
    for (const QStringList& extra : {QStringList{}, QStringList{"--order", "created"},
                                     QStringList{"--order", "smCompletedDesc"}}) {
        const QJsonObject d = dumpOf(extra);
        EXPECT_EQ(checker.check(d, root, "$"), "") << extra.join(' ').toStdString();
    }
    // The checker itself refuses what the schema rules out.
    QJsonObject broken = dumpOf();
    QJsonArray tasks = broken["tasks"].toArray();
    QJsonObject task = tasks[0].toObject();
    task["deadline"] = "2026-03-20";
    tasks[0] = task;
    broken["tasks"] = tasks;
    EXPECT_NE(checker.check(broken, root, "$"), "");
}

TEST_F(DumpTest, ValuesAsAProgramWantsThem)
{
    makeList();
    const QJsonObject d = dumpOf();
    EXPECT_EQ(d["file"].toString(), FList);
    EXPECT_EQ(d["schema"].toInt(), 2);
    EXPECT_EQ(d["order"].toString(), "deadline");
    const QJsonArray tasks = d["tasks"].toArray();
    ASSERT_EQ(tasks.size(), 3);
    const auto task = [&](int i) { return tasks[i].toObject(); };
    EXPECT_EQ(task(0)["index"].toInt(), 1);
    EXPECT_EQ(task(0)["title"].toString(), "Done already");
    EXPECT_EQ(task(0)["deadline"].toString(), "2026-03-10T00:00:00");
    EXPECT_EQ(task(0)["completed"].toString(), "2026-03-04T12:15:30");
    EXPECT_EQ(task(0)["priority"].toString(), "normal");
    EXPECT_EQ(task(1)["title"].toString(), "Say \"hi\" \\ wave\ttab");
    EXPECT_EQ(task(1)["category"].toString(), "Home");
    EXPECT_EQ(task(1)["created"].toString(), "2026-03-01T09:30:00.250");
    EXPECT_EQ(task(1)["priority"].toString(), "high");
    EXPECT_TRUE(task(1)["completed"].isNull());
    EXPECT_EQ(task(1)["details"].toString(), "line one\nline two");
    EXPECT_EQ(task(2)["title"].toString(), QStringLiteral("Café ☕"));
    EXPECT_TRUE(task(2)["deadline"].isNull());
    EXPECT_EQ(task(2)["priority"].toString(), "low");
    EXPECT_EQ(task(2)["category"].toString(), "");
    EXPECT_EQ(task(2)["details"].toString(), "");
    // The index of each order is the N its commands take.
    const QJsonArray byCreated = dumpOf({"--order", "created"})["tasks"].toArray();
    EXPECT_EQ(byCreated[0].toObject()["title"].toString(), "Done already");
    EXPECT_EQ(byCreated[2].toObject()["index"].toInt(), 3);
    ok({"delete", FList, "3", "--order", "created"});
    EXPECT_EQ(dumpOf()["tasks"].toArray().size(), 2);
    EXPECT_FALSE(ok({"dump", FList}).contains("Say"));
}

TEST_F(DumpTest, OneTaskALineAndAnEmptyList)
{
    makeList();
    const QString out = ok({"dump", FList});
    EXPECT_EQ(out.count(QStringLiteral("\n    {\"index\": ")), 3) << out.toStdString();
    ok({"purge", FList});
    ok({"delete", FList, "1"});
    ok({"delete", FList, "1"});
    EXPECT_EQ(
        ok({"dump", FList}),
        QStringLiteral("{\n  \"file\": \"%1\",\n  \"schema\": 2,\n  \"order\": \"deadline\",\n"
                       "  \"tasks\": []\n}\n")
            .arg(FList));
}

TEST_F(DumpTest, AValueNoVersionWritesStaysVisible)
{
    {
        OpenList list;
        OpenTaskTable(FList, list.table);
        AppendTask(list.table, "odd", {}, Now(), NullDate, 7, {});
    }
    const QJsonObject d = dumpOf();
    EXPECT_EQ(d["tasks"].toArray()[0].toObject()["priority"].toInt(), 7);
    EXPECT_EQ(SchemaCheck(schema()).check(d, schema(), "$"), "");
}

TEST_F(DumpTest, AnOldFileReadsAsTheWindowShowsIt)
{
    const QString old = FDir.filePath("old.qmtd");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/store/schema1_list.qmtd"), old));
    const QByteArray before = bytesOf(old);
    const QString out = ok({"dump", old});
    const QJsonObject d = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(d["schema"].toInt(), 1);
    EXPECT_EQ(SchemaCheck(schema()).check(d, schema(), "$"), "");
    // Deadlines by their day, as the window shows them; the file stays as it was.
    for (const QJsonValue& t : d["tasks"].toArray()) {
        if (!t.toObject()["deadline"].isNull()) {
            EXPECT_TRUE(t.toObject()["deadline"].toString().endsWith("T00:00:00"));
        }
    }
    EXPECT_EQ(bytesOf(old), before);
}

TEST_F(DumpTest, FindKeepsTheMatchingTasksWithTheirIndexes)
{
    makeList();
    EXPECT_EQ(run({"dump", FList, "--find", "p:urgent"}).status, 2);
    const QJsonArray tasks = dumpOf({"--find", "-c:home", "--order", "title"})["tasks"].toArray();
    QStringList found;
    for (const QJsonValue& t : tasks)
        found.append(t.toObject()["title"].toString() + "/" +
                     QString::number(t.toObject()["index"].toInt()));
    EXPECT_EQ(found, QStringList({QStringLiteral("Café ☕/1"), "Done already/2"}));
    EXPECT_EQ(dumpOf({"--find", "nothing-like-this"})["tasks"].toArray().size(), 0);
    EXPECT_EQ(SchemaCheck(schema()).check(dumpOf({"--find", "nothing-like-this"}), schema(), "$"),
              "");
}
