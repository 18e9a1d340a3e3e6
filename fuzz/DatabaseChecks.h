#pragma once

// Checks of a database in memory that the database and import targets share.

#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "mapdb/PDBDoc.h"

namespace fuzzing {

// Databases larger than this are not written back: the size rules of a map
// can claim gigabytes of padding that a small file does not hold.
constexpr std::uint64_t kMaxWrittenBytes = std::uint64_t{1} << 20;

inline std::uint64_t WrittenSize(const mapdb::CPDBDoc& doc) {
    std::uint64_t total = mapdb::kHeaderSize + mapdb::kEntrySize * doc.GetMapCount() + 2;
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        total += mapdb::kMapFieldsSize + mapdb::BitmapDataBytes(doc.GetMap(i));
    }
    return total;
}

inline std::vector<std::uint8_t> Write(mapdb::CPDBDoc& doc) {
    auto file = doc.WriteDatabase("Fuzz.pdb");
    Require(file.has_value());
    return file->Bytes();
}

// A compressed map whose size word is below 2 does not count the word's own
// two bytes: the writer cuts the word itself, which then reads as 0. Such a
// map changes once when it is saved, and then no more.
inline bool SizeWordsCountThemselves(const mapdb::CPDBDoc& doc) {
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        const mapdb::MapRecord& map = doc.GetMap(i);
        if (map.IsCompressed() && mapdb::GetBitmapDataSize(map) < mapdb::GetColorTableSize(map) + 2) {
            return false;
        }
    }
    return true;
}

// Writes the document, reads the file back and writes that again: the two
// files are the same, and so are their maps.
inline void CheckRoundTrip(mapdb::CPDBDoc& doc) {
    if (!SizeWordsCountThemselves(doc)) {
        // Saved once, the map is stable.
        Require(doc.ReadDatabase(Write(doc)).has_value());
    }
    std::vector<std::uint8_t> first = Write(doc);
    Require(first.size() == WrittenSize(doc));
    mapdb::CPDBDoc again;
    again.SetClock([] { return 1u; });
    Require(again.ReadDatabase(first).has_value());
    Require(again.GetMapCount() == doc.GetMapCount());
    for (std::size_t i = 0; i < doc.GetMapCount(); ++i) {
        Require(mapdb::EncodeMapRecord(again.GetMap(i)) == mapdb::EncodeMapRecord(doc.GetMap(i)));
    }
    Require(Write(again) == first);
}

}  // namespace fuzzing
