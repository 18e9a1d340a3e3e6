#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "DatabaseHeader.h"
#include "MapRecord.h"
#include "platform/Document.h"
#include "platform/Files.h"

namespace mapdb {

using platform::Error;
using platform::Result;

constexpr std::size_t kMaxMaps = 65535;

// The title of the error that refuses a file which is not a maps database.
constexpr const char* kWrongFileTitle = "Wrong file";

enum class Corner { TopLeftLat, TopLeftLon, BottomRightLat, BottomRightLon };

// The bytes of a database file as the pieces that make it, in order. Only the
// header, the record list and the records' fields are held here; the records'
// data stay where the maps keep them, so that saving copies nothing large.
// Valid while the document is not changed.
class DatabaseFile {
public:
    const std::vector<platform::ByteSpan>& Parts() const { return parts; }
    // The whole file in one block.
    std::vector<std::uint8_t> Bytes() const;

private:
    friend class CPDBDoc;
    std::vector<std::uint8_t> head;  // header, record list, two zero bytes, then every record's fields
    std::vector<platform::ByteSpan> parts;
};

// The document: the one maps database that is open, its maps kept in scale order
// on every save.
class CPDBDoc : public platform::CDocument {
public:
    CPDBDoc();

    bool OnNewDocument() override;

    // Reads `count` bytes at `offset` of a database file into `out`.
    using ReadAt = std::function<Result<void>(std::uint64_t offset, std::span<std::uint8_t> out)>;

    // Reads a whole database of `length` bytes: the header, the record list,
    // then each record straight into its map. The "Wrong file" error when they
    // are not a maps database or are inconsistent, which leaves the document
    // empty; the reading's own error when the file cannot be read, which
    // leaves it as it was.
    Result<void> ReadDatabase(std::uint64_t length, const ReadAt& read);
    // The same from the bytes of a whole file in memory.
    Result<void> ReadDatabase(std::span<const std::uint8_t> file);
    // Sorts the maps, dates the header and names it after the file's title
    // (up to its first dot, in Latin-1, at most 31 characters), and returns
    // the file: the header, the record list with every record's offset, and
    // the records. An error (the document sorted and dated all the same) when
    // the records lie beyond what 32-bit offsets address.
    Result<DatabaseFile> WriteDatabase(const std::string& fileTitle);
    // Saves the database to `path`. When the file cannot be written, the
    // document is left exactly as it was (order, header and entries).
    Result<void> OnSaveDocument(const std::string& path) override;

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
    Result<void> Load(const platform::InputFile& file) override;

private:
    void Empty();
    // Empties the document; the error of a file that is no maps database.
    Error Refuse();

    DatabaseHeader header;
    std::vector<RecordEntry> entries;
    std::vector<MapRecord> maps;
    std::function<std::uint32_t()> now;
};

}  // namespace mapdb
