// Feeds arbitrary bytes to the datapacket reader. A packet it accepts must also survive being
// written and read again with the same shape.

#include "store/datapacket_reader.h"
#include "store/datapacket_writer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact copy, so that a read past the end is a heap overflow the sanitizer sees.
    const QByteArray packet(reinterpret_cast<const char*>(data), qsizetype(size));
    TaskTable table;
    try {
        DataPacketReader::Read(packet, table, QStringLiteral("fuzz.qmtd"));
    } catch (const TaskStoreError& e) {
        if (table.Active() || e.message().isEmpty())
            std::abort();
        return 0;
    }
    const QByteArray written = DataPacketWriter::Write(table);
    TaskTable again;
    DataPacketReader::Read(written, again); // must not throw
    if (again.RecordCount() != table.RecordCount() ||
        again.Fields().size() != table.Fields().size())
        std::abort();
    return 0;
}
