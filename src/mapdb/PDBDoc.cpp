#include "PDBDoc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <numeric>

#include "platform/UserInterface.h"

namespace mapdb {

namespace {

constexpr const char* kWrongFileTitle = "Wrong file";
constexpr const char* kWrongFileText = "This is not a valid\nNavrello maps DataBase.";

std::uint32_t SystemClock() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

// Rows per 1/3,600,000 degree of latitude, as a single-precision quotient.
float ScaleKey(const MapRecord& map) {
    auto span = static_cast<std::int32_t>(static_cast<std::uint32_t>(map.topLeftLat) -
                                          static_cast<std::uint32_t>(map.bottomRightLat));
    return static_cast<float>(map.height) / static_cast<float>(span);
}

// Ascending by key; a key that is not a number (height 0 over span 0) comes after all others.
bool KeyBefore(float a, float b) {
    if (std::isnan(a)) {
        return false;
    }
    return std::isnan(b) || a < b;
}

// Discards `count` bytes of the archive; false when it ends first.
bool Skip(platform::CArchive& archive, std::uint64_t count) {
    std::uint8_t scratch[4096];
    while (count > 0) {
        std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch));
        if (archive.Read(scratch, piece) != piece) {
            return false;
        }
        count -= piece;
    }
    return true;
}

}  // namespace

CPDBDoc::CPDBDoc() : now(SystemClock) {}

bool CPDBDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument()) {
        return false;
    }
    header.name[0] = '\0';
    header.attributes = 0;
    header.version = 0;
    header.creationDate = header.modificationDate = now();
    header.lastBackupDate = header.modificationNumber = 0;
    header.appInfoOffset = header.sortInfoOffset = 0;
    header.type = kDatabaseType;
    header.creator = kDatabaseCreator;
    header.uniqueIDSeed = header.nextRecordListID = 0;
    Empty();
    return true;
}

void CPDBDoc::Empty() {
    header.numRecords = 0;
    entries.clear();
    maps.clear();
}

void CPDBDoc::Refuse() {
    platform::GetUserInterface().MessageBox(kWrongFileTitle, kWrongFileText);
    Empty();
}

bool CPDBDoc::ReadDatabase(platform::CArchive& archive) {
    Empty();
    std::uint8_t bytes[kHeaderSize];
    DatabaseHeader read;
    if (archive.Read(bytes, kHeaderSize) != kHeaderSize) {
        Refuse();
        return false;
    }
    DecodeHeader(bytes, read);
    if (read.type != kDatabaseType || read.creator != kDatabaseCreator) {
        Refuse();
        return false;
    }
    const std::uint64_t length = archive.GetLength();
    // The whole record list in one read.
    std::vector<RecordEntry> list(read.numRecords);
    std::vector<std::uint8_t> rawList(kEntrySize * list.size());
    if (archive.Read(rawList.data(), rawList.size()) != rawList.size()) {
        Refuse();
        return false;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        DecodeEntry(rawList.data() + kEntrySize * i, list[i]);
    }
    auto endOf = [&](std::size_t i) -> std::uint64_t { return i < list.size() ? list[i].offset : length; };

    // Whatever stands between the list and the first record (the two zero bytes,
    // an application-info or sort-info block) is skipped.
    std::uint64_t first = endOf(0);
    if (first < archive.GetPosition() || first > length || !Skip(archive, first - archive.GetPosition())) {
        Refuse();
        return false;
    }
    std::vector<MapRecord> readMaps(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::uint8_t fields[kMapFieldsSize];
        if (archive.Read(fields, kMapFieldsSize) != kMapFieldsSize) {
            Refuse();
            return false;
        }
        MapRecord& map = readMaps[i];
        DecodeMapFields(fields, map);
        std::uint64_t end = endOf(i + 1);
        if (end < archive.GetPosition() || end > length) {
            Refuse();
            return false;
        }
        map.data = archive.ReadBlock(static_cast<std::size_t>(end - archive.GetPosition()));
        if (!map.data) {
            Refuse();
            return false;
        }
    }
    header = read;
    entries = std::move(list);
    maps = std::move(readMaps);
    return true;
}

void CPDBDoc::WriteDatabase(platform::CArchive& archive) {
    header.modificationDate = now();
    const std::string& title = archive.GetFileTitle();
    std::string name = title.substr(0, title.find('.'));
    name.resize(std::min(name.size(), kHeaderNameSize - 1));
    std::copy(name.begin(), name.end(), header.name.begin());
    header.name[name.size()] = '\0';
    header.version = 0;
    SortByScale();

    const std::size_t count = header.numRecords;
    std::vector<std::uint8_t> bytes(kHeaderSize + kEntrySize * count + 2, 0);
    EncodeHeader(header, bytes.data());
    std::uint64_t offset = bytes.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (offset > UINT32_MAX) {
            throw platform::ArchiveError("the database is larger than 4 GiB, which its record list cannot address");
        }
        entries[i].offset = static_cast<std::uint32_t>(offset);
        EncodeEntry(entries[i], bytes.data() + kHeaderSize + kEntrySize * i);
        offset += kMapFieldsSize + BitmapDataBytes(maps[i]);
    }
    archive.Write(bytes.data(), bytes.size());
    for (std::size_t i = 0; i < count; ++i) {
        const MapRecord& map = maps[i];
        std::uint8_t fields[kMapFieldsSize];
        EncodeMapFields(map, fields);
        archive.Write(fields, kMapFieldsSize);
        std::uint64_t dataSize = BitmapDataBytes(map);
        std::size_t held = map.data ? static_cast<std::size_t>(std::min<std::uint64_t>(dataSize, map.data->size())) : 0;
        if (held != 0) {
            archive.Write(map.data->data(), held);
        }
        // Data shorter than the size rules say is padded with zeros, written
        // in pieces: the rules can claim gigabytes that the map does not hold.
        static const std::array<std::uint8_t, 65536> kZeros{};
        for (std::uint64_t left = dataSize - held; left > 0;) {
            std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, kZeros.size()));
            archive.Write(kZeros.data(), piece);
            left -= piece;
        }
    }
    // The views are told once the file is complete: a save whose last step
    // fails gives the document back as it was, and nothing to show.
    archive.Flush();
    UpdateAllViews(nullptr);
}

void CPDBDoc::Store(platform::CArchive& archive) {
    // A failed save leaves the document exactly as it was.
    DatabaseHeader savedHeader = header;
    std::vector<RecordEntry> savedEntries = entries;
    std::vector<std::size_t> order(maps.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    try {
        order = SortByScale();
        WriteDatabase(archive);
    } catch (...) {
        std::vector<MapRecord> restored(maps.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            restored[order[k]] = std::move(maps[k]);
        }
        maps = std::move(restored);
        entries = std::move(savedEntries);
        header = savedHeader;
        throw;
    }
}

bool CPDBDoc::AddMap(MapRecord map, const RecordEntry& entry) {
    if (maps.size() >= kMaxMaps) {
        return false;
    }
    maps.push_back(std::move(map));
    entries.push_back(entry);
    ++header.numRecords;
    return true;
}

void CPDBDoc::RemoveMap(std::size_t i) {
    maps.erase(maps.begin() + static_cast<std::ptrdiff_t>(i));
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
    --header.numRecords;
}

void CPDBDoc::RenameMap(std::size_t i, std::string_view name) {
    maps.at(i).SetName(name);
}

void CPDBDoc::SetMapCorner(std::size_t i, Corner corner, std::int32_t value) {
    MapRecord& map = maps.at(i);
    switch (corner) {
        case Corner::TopLeftLat: map.topLeftLat = value; break;
        case Corner::TopLeftLon: map.topLeftLon = value; break;
        case Corner::BottomRightLat: map.bottomRightLat = value; break;
        case Corner::BottomRightLon: map.bottomRightLon = value; break;
    }
}

std::vector<std::size_t> CPDBDoc::SortByScale() {
    std::vector<float> keys(maps.size());
    std::transform(maps.begin(), maps.end(), keys.begin(), ScaleKey);
    std::vector<std::size_t> order(maps.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return KeyBefore(keys[a], keys[b]); });
    if (std::is_sorted(order.begin(), order.end())) {
        return order;
    }
    std::vector<MapRecord> sortedMaps(maps.size());
    std::vector<RecordEntry> sortedEntries(entries.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        sortedMaps[k] = std::move(maps[order[k]]);
        sortedEntries[k] = entries[order[k]];
    }
    maps = std::move(sortedMaps);
    entries = std::move(sortedEntries);
    return order;
}

}  // namespace mapdb
