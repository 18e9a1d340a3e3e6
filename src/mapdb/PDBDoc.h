#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "DatabaseHeader.h"
#include "MapRecord.h"
#include "platform/Document.h"

namespace mapdb {

constexpr std::size_t kMaxMaps = 65535;

enum class Corner { TopLeftLat, TopLeftLon, BottomRightLat, BottomRightLon };

// The document: the one maps database that is open, its maps kept in scale order
// on every save.
class CPDBDoc : public platform::CDocument {
public:
    CPDBDoc();

    bool OnNewDocument() override;

    // Reads a whole database; false (after the "Wrong file" notice) when the file
    // is not a maps database or is inconsistent. The document is then empty.
    bool ReadDatabase(platform::CArchive& archive);
    // Writes the whole database, sorted, named after the archive's file title, and
    // flushes the archive. Throws platform::ArchiveError when the archive fails.
    void WriteDatabase(platform::CArchive& archive);

    std::uint16_t GetMapCount() const { return header.numRecords; }
    MapRecord& GetMap(std::size_t i) { return maps.at(i); }
    const MapRecord& GetMap(std::size_t i) const { return maps.at(i); }
    const RecordEntry& GetEntry(std::size_t i) const { return entries.at(i); }
    const DatabaseHeader& GetHeader() const { return header; }

    // Appends a map with its entry; false when the database already holds kMaxMaps.
    bool AddMap(MapRecord map, const RecordEntry& entry);
    void RemoveMap(std::size_t i);
    void RenameMap(std::size_t i, std::string_view name);
    void SetMapCorner(std::size_t i, Corner corner, std::int32_t value);
    // Stable sort by rows per unit of latitude; returns, for each new position,
    // the old index of the map that stands there.
    std::vector<std::size_t> SortByScale();

    // The clock that dates new databases and saves (seconds since 1970, UTC).
    void SetClock(std::function<std::uint32_t()> clock) { now = std::move(clock); }

protected:
    bool Load(platform::CArchive& archive) override { return ReadDatabase(archive); }
    void Store(platform::CArchive& archive) override;

private:
    void Empty();
    void Refuse();

    DatabaseHeader header;
    std::vector<RecordEntry> entries;
    std::vector<MapRecord> maps;
    std::function<std::uint32_t()> now;
};

}  // namespace mapdb
