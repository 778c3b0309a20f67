// Writing and reading lists of realistic tasks, and one completion with its full crash-safe save
// (side file, folder and list forced to disk). Saves go to a folder beside the benchmark binary,
// on the real disk, so the fsync cost is measured as the user pays it.

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/datapacket_reader.h"
#include "store/datapacket_writer.h"
#include "store/side_file_format.h"
#include "store/todo_db.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const char* const words[] = {
    "call",    "the",         "plumber",  "about",   "kitchen",  "sink",    "renew",    "passport",
    "before",  "summer",      "trip",     "buy",     "birthday", "present", "for",      "Anna",
    "review",  "quarterly",   "report",   "draft",   "email",    "to",      "landlord", "book",
    "dentist", "appointment", "pay",      "invoice", "#4471",    "water",   "plants",   "clean",
    "garage",  "Müller",      "schedule", "meeting", "with",     "team",    "café",     "order",
};
const char* const categories[] = {"",       "Home",    "Work",   "Errands",
                                  "Health", "Finance", "Garden", "Family"};

QString sentence(QRandomGenerator& random, int minWords, int maxWords)
{
    QStringList parts;
    const int n = random.bounded(minWords, maxWords + 1);
    for (int i = 0; i < n; ++i)
        parts.append(QString::fromUtf8(words[random.bounded(int(std::size(words)))]));
    return parts.join(QLatin1Char(' '));
}

void fillTasks(TaskTable& table, int count)
{
    QRandomGenerator random(1382);
    CreateTaskTable(table);
    AddSortIndexes(table);
    const double base = EncodeDateTime(QDate(2024, 1, 1));
    for (int i = 0; i < count; ++i) {
        QString details;
        const int kind = random.bounded(10);
        if (kind >= 4) // most tasks carry a few lines of notes
            details = sentence(random, 5, 25) + QStringLiteral("\r\n") + sentence(random, 3, 20);
        std::vector<FieldValue> values = {
            FieldValue::fromText(sentence(random, 3, 8).left(200)),
            FieldValue::fromText(QString::fromUtf8(categories[random.bounded(8)])),
            FieldValue::fromReal(base + i * 0.01 + random.bounded(86400000) / MSecsPerDay),
            FieldValue::fromReal(kind < 3 ? NullDate : base + random.bounded(400)),
            FieldValue::fromInteger(random.bounded(3)),
            FieldValue::fromReal(kind == 9 ? base + random.bounded(400) + 0.5 : NullDate),
            details.isEmpty() ? FieldValue() : FieldValue::fromText(details),
        };
        table.AppendRecord(std::move(values));
    }
}

void BM_WriteList(benchmark::State& state)
{
    TaskTable table;
    fillTasks(table, int(state.range(0)));
    QByteArray out = DataPacketWriter::Write(table);
    for (auto _ : state) {
        // As a save does: one buffer of about the previous file's size.
        out.resize(0); // keeps its capacity
        DataPacketWriter::Write(table, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * out.size());
    state.counters["file_bytes"] = double(out.size());
}
BENCHMARK(BM_WriteList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReadList(benchmark::State& state)
{
    TaskTable source;
    fillTasks(source, int(state.range(0)));
    const QByteArray packet = DataPacketWriter::Write(source);
    for (auto _ : state) {
        auto table = std::make_unique<TaskTable>();
        DataPacketReader::Read(packet, *table);
        benchmark::DoNotOptimize(table->RecordCount());
        // Dropping the table is closing the list, not reading it.
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * packet.size());
}
BENCHMARK(BM_ReadList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One MarkTaskCompleted on a list shown in deadline order: the change, the packet, the side file
// with its fsync (the folder fsync on the first save only), the in-place rewrite with its fsync,
// and the side file's trailer spoilt. Wall-clock time, since most of it is waiting for the disk.
void BM_MarkTaskCompletedWithSave(benchmark::State& state)
{
    const int count = int(state.range(0));
    QTemporaryDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/bench-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("bench.qmtd"));
    TaskTable table;
    {
        TaskTable filled;
        fillTasks(filled, count);
        OpenTaskTable(path, table); // creates it
        filled.SetIndexName(QString());
        TdbToDoFile* file = CurrentListFile();
        file->WriteDataSet(filled);
    }
    OpenTaskTable(path, table);
    table.SetIndexName(SortModeName(smDePrTiCr));
    int n = 0;
    for (auto _ : state) {
        MarkTaskCompleted(table, 1 + (n++ * 7919) % count);
    }
    state.counters["file_bytes"] = double(CurrentListFile()->ReadDataPacket().size());
    CloseTaskStore(table);
}
BENCHMARK(BM_MarkTaskCompletedWithSave)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(30)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// What a save computes for its side file besides the packet, for one completed task: the new
// content's digest, the difference from the old content (its shared start and end) and the
// header and trailer. The save adds this and one small write to the side file.
void BM_SideFileHeader(benchmark::State& state)
{
    const int count = int(state.range(0));
    TaskTable table;
    fillTasks(table, count);
    const QByteArray oldContent = SignatureSchema2 + DataPacketWriter::Write(table);
    AddSortIndexes(table);
    table.SetIndexName(SortModeName(smDePrTiCr));
    table.SetRecNo(1 + count / 2);
    table.SetDateTime(table.FieldIndex(TaskField::Completed), EncodeDateTime(QDate(2024, 6, 1)));
    const QByteArray newContent = SignatureSchema2 + DataPacketWriter::Write(table);
    const ContentDigest oldDigest = DigestOf(oldContent);
    const QByteArray listPath = "/home/someone/Documents/lists/bench.qmtd";
    qsizetype headerSize = 0;
    for (auto _ : state) {
        const ContentDigest digest = DigestOf(newContent);
        const QByteArray header = SideFileHeader(
            listPath, DescribeReplaced(oldContent, oldDigest, newContent), newContent.size());
        const QByteArray trailer = SideFileTrailer(header, digest, newContent.size());
        benchmark::DoNotOptimize(trailer.data());
        headerSize = header.size();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * newContent.size());
    state.counters["header_bytes"] = double(headerSize);
}
BENCHMARK(BM_SideFileHeader)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
