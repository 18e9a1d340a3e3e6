// Fuzz target: reading a maps database, then what the form and the command
// line do with the maps of a file they opened, and writing it back.
#include "DatabaseChecks.h"
#include "palm/ScanLines.h"
#include "view/MapDisplay.h"
#include "view/RecordCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mapdb::CPDBDoc doc;
    doc.SetClock([] { return 1u; });
    if (!doc.ReadDatabase({data, size})) {
        fuzzing::Require(doc.GetMapCount() == 0);
        return 0;
    }
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        const mapdb::MapRecord& map = doc.GetMap(i);
        view::RecordProblems(map);
        view::FormatFloat(view::MemoryKB(map));
        view::FormatDegrees(map.topLeftLat);
        view::FormatDegrees(map.bottomRightLon);
        if (map.IsCompressed()) {
            [[maybe_unused]] auto expanded = palm::ExpandScanLines(map);
        }
    }
    if (fuzzing::WrittenSize(doc) <= fuzzing::kMaxWrittenBytes) {
        fuzzing::CheckRoundTrip(doc);
    }
    return 0;
}
