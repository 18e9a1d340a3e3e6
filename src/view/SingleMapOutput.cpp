#include "SingleMapOutput.h"

#include "palm/MapExport.h"
#include "platform/Files.h"

namespace view {

platform::Result<void> BeamMap(const mapdb::MapRecord& map, const std::string& path) {
    const std::vector<std::uint8_t> record = mapdb::EncodeMapRecord(map);
    auto file = platform::OutputFile::Create(path);
    if (!file) {
        return platform::Error{"cannot open " + path + ": " + file.error().message};
    }
    auto written = file->Write(record);
    if (written) {
        written = file->Finish();
    }
    if (!written) {
        return platform::Error{"cannot write " + path + ": " + written.error().message};
    }
    return {};
}

platform::Result<void> ExportMap(const mapdb::MapRecord& map, const std::string& path) {
    return palm::ExportAsPicture(map, path);
}

}  // namespace view
