#include "SingleMapOutput.h"

#include <filesystem>

#include "palm/MapExport.h"
#include "platform/Files.h"
#include "view/CornerCheck.h"
#include "view/WorldFile.h"

namespace view {

platform::Result<void> BeamMap(const mapdb::MapRecord& map, const std::string& path) {
    const std::vector<std::uint8_t> record = mapdb::EncodeMapRecord(map);
    auto file = platform::OutputFile::Create(path);
    if (!file) {
        return platform::FileError("Cannot create", path, file.error());
    }
    auto written = file->Write(record);
    if (written) {
        written = file->Finish();
    }
    if (!written) {
        return platform::FileError("Cannot write", path, written.error());
    }
    return {};
}

platform::Result<ExportedMap> ExportMap(const mapdb::MapRecord& map, const std::string& path) {
    if (auto written = palm::ExportAsPicture(map, path); !written) {
        return written.error();
    }
    std::string why = BoxFault(palm::CornersOf(map));
    if (map.width == 0 || map.height == 0) {
        why = "the map has no pixels";
    }
    if (why.empty()) {
        if (auto written = WriteGeoreferencing(map, path); !written) {
            return written.error();
        }
        return ExportedMap{};
    }
    why = "no world file was written for " + path + ": " + why;
    const std::string earlier = WorldFilePath(path);
    std::error_code error;
    if (std::filesystem::remove(earlier, error)) {
        why += ". The world file " + earlier + " of an earlier export was removed.";
    } else if (error) {
        return platform::FileError("Cannot remove", earlier, platform::SystemError(error.value()));
    }
    return ExportedMap{why};
}

}  // namespace view
