// Fuzz target: the whole import of a picture file into a new database, then
// saving the database and reading it back. The input holds the answer to the
// colour-depth dialog, then either a side file's text or the four corner
// texts typed in the coordinates dialog, then the picture file's bytes.
#include <optional>

#include "DatabaseChecks.h"
#include "palm/ScanLines.h"
#include "view/ImportFlow.h"
#include "view/RecordCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    fuzzing::FuzzedAnswers answers;
    answers.depthAnswer = input.Byte();
    std::optional<std::string> sideText;
    if ((input.Byte() & 1) != 0) {
        sideText = input.Text(255);
    } else {
        for (std::string& corner : answers.corners) {
            corner = input.Text(32);
        }
    }
    mapdb::CPDBDoc doc;
    doc.SetClock([] { return 1u; });
    doc.OnNewDocument();
    auto added = view::ImportPictureBytes(doc, nullptr, "Fuzz.bmp", {input.Rest(), input.RestSize()}, sideText,
                                                answers.Import());
    fuzzing::Require(added ? added->size() == doc.GetMapCount() : doc.GetMapCount() == 0);
    // Every map the import makes follows the rules of the format.
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        const mapdb::MapRecord& map = doc.GetMap(i);
        fuzzing::Require(view::RecordProblems(map).empty());
        fuzzing::Require(mapdb::GetRecordSize(map) <= view::kRecordLimit);
    }
    if (doc.GetMapCount() > 0) {
        fuzzing::CheckRoundTrip(doc);
    }
    return 0;
}
