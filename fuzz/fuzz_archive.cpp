// Feeds arbitrary bytes to the archive reader. Whatever it accepts must survive a round trip
// through the writer unchanged; whatever it refuses must name a line that exists.

#include "storage/ArchiveFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));
    const kiro::ArchiveReading reading = kiro::ParseArchive(text);
    if (reading.ok) {
        if (reading.entries.isEmpty())
            __builtin_trap();
        const kiro::ArchiveReading again = kiro::ParseArchive(kiro::FormatArchive(reading.entries));
        if (!again.ok || again.entries != reading.entries)
            __builtin_trap();
    } else if (reading.problem.kind == kiro::ArchiveProblem::Kind::MalformedLine) {
        const int lines = int(text.count('\n') + text.count('\r')) + 1;
        if (reading.problem.line < 1 || reading.problem.line > lines || !reading.entries.isEmpty())
            __builtin_trap();
    } else if (reading.problem.kind != kiro::ArchiveProblem::Kind::Empty) {
        __builtin_trap();
    }
    return 0;
}
