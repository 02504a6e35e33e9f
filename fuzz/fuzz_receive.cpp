// Feeds arbitrary server bytes, cut into arbitrary reads, through the receive path: the frame
// recogniser, then the readers of table and heartbeat frames.
#include "wire/FrameReader.h"
#include "wire/Frames.h"
#include "core/link/Heartbeat.h"
#include "wire/TableLines.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    FrameReader reader;
    while (in.remaining_bytes() > 0) {
        const auto cut = in.ConsumeIntegralInRange<size_t>(1, 4096);
        const std::string chunk = in.ConsumeBytesAsString(cut);
        for (const QByteArray& frame :
             reader.feed(QByteArray(chunk.data(), qsizetype(chunk.size())))) {
            const QByteArrayView tag = frames::tagOf(frame);
            if (tag == frames::kTable) {
                const QList<QByteArray> lines = table::parseTableFrame(frame);
                if (lines.size() > table::kMaxLines)
                    __builtin_trap();
                for (const QByteArray& line : lines)
                    for (int f = 0; f < table::FieldCount; ++f)
                        (void)table::trimmed(table::field(line, table::Field(f)));
            } else {
                const HeartbeatAnswer a = readHeartbeat(frame);
                // Twenty passes at most, each storing at most one busy list.
                if (a.busyWrites.size() > 20)
                    __builtin_trap();
            }
        }
        if (reader.pending().size() > FrameReader::kMaxPending)
            __builtin_trap();
    }
    return 0;
}
