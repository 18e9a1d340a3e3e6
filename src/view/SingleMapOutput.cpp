#include "SingleMapOutput.h"

#include "palm/BmpExport.h"
#include "platform/Archive.h"
#include "platform/UserInterface.h"

namespace view {

bool BeamMap(const mapdb::MapRecord& map, const std::string& path) {
    std::vector<std::uint8_t> record = mapdb::EncodeMapRecord(map);
    try {
        platform::FileArchive archive(path, platform::FileArchive::Mode::Write);
        archive.Write(record.data(), record.size());
        archive.Close();
    } catch (const platform::ArchiveError& error) {
        platform::GetUserInterface().MessageBox("", error.what());
        return false;
    }
    return true;
}

bool ExportMap(const mapdb::MapRecord& map, const std::string& path) {
    return palm::ExportAsBmp(map, path);
}

}  // namespace view
