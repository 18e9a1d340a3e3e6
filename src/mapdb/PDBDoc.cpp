#include "PDBDoc.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <new>
#include <numeric>

#include "platform/Files.h"
#include "platform/Latin1.h"

namespace mapdb {

namespace {

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

Error CPDBDoc::Refuse() {
    Empty();
    return Error{kWrongFileText, kWrongFileTitle};
}

Result<void> CPDBDoc::ReadDatabase(std::uint64_t length, const ReadAt& read) {
    // Reads one structure of `size` bytes at `offset`.
    auto readFields = [&](std::uint64_t offset, auto& structure, std::size_t size) -> Result<void> {
        std::array<std::uint8_t, std::max(kHeaderSize, kMapFieldsSize)> buffer{};
        const std::span<std::uint8_t> bytes = std::span<std::uint8_t>(buffer).first(size);
        if (Result<void> got = read(offset, bytes); !got) {
            return got;
        }
        platform::ByteReader reader(bytes, platform::Endian::kBig);
        std::remove_reference_t<decltype(structure)>::Fields(reader, structure);
        return {};
    };
    DatabaseHeader readHeader;
    if (length < kHeaderSize) {
        return Refuse();
    }
    if (Result<void> got = readFields(0, readHeader, kHeaderSize); !got) {
        return got;
    }
    const std::uint64_t listEnd = kHeaderSize + std::uint64_t{kEntrySize} * readHeader.numRecords;
    if (readHeader.type != kDatabaseType || readHeader.creator != kDatabaseCreator || length < listEnd) {
        return Refuse();
    }
    std::vector<RecordEntry> list(readHeader.numRecords);
    std::vector<std::uint8_t> listBytes(kEntrySize * list.size());
    if (Result<void> got = read(kHeaderSize, listBytes); !got) {
        return got;
    }
    platform::ByteReader listReader(listBytes, platform::Endian::kBig);
    for (RecordEntry& entry : list) {
        RecordEntry::Fields(listReader, entry);
    }
    // Whatever stands between the list and the first record (the two zero bytes,
    // an application-info or sort-info block) is skipped; each record then runs
    // up to the next, the last to the end of the file.
    auto endOf = [&](std::size_t i) -> std::uint64_t { return i < list.size() ? list[i].offset : length; };
    if (endOf(0) < listEnd || endOf(0) > length) {
        return Refuse();
    }
    std::vector<MapRecord> readMaps(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::uint64_t start = endOf(i);
        const std::uint64_t end = endOf(i + 1);
        if (end < start + kMapFieldsSize || end > length) {
            return Refuse();
        }
        MapRecord& map = readMaps[i];
        if (Result<void> got = readFields(start, map, kMapFieldsSize); !got) {
            return got;
        }
        map.data.resize(static_cast<std::size_t>(end - start - kMapFieldsSize));
        if (Result<void> got = read(start + kMapFieldsSize, map.data); !got) {
            return got;
        }
    }
    header = readHeader;
    entries = std::move(list);
    maps = std::move(readMaps);
    return {};
}

Result<void> CPDBDoc::ReadDatabase(std::span<const std::uint8_t> file) {
    return ReadDatabase(file.size(), [file](std::uint64_t offset, std::span<std::uint8_t> out) {
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return Result<void>();
    });
}

Result<void> CPDBDoc::Load(const platform::InputFile& file) {
    return ReadDatabase(file.Size(), [&file](std::uint64_t offset, std::span<std::uint8_t> out) {
        return file.ReadAt(offset, out);
    });
}

std::vector<std::uint8_t> DatabaseFile::Bytes() const {
    std::vector<std::uint8_t> bytes;
    for (platform::ByteSpan part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

Result<DatabaseFile> CPDBDoc::WriteDatabase(const std::string& fileTitle) {
    header.modificationDate = now();
    // The program writes no application-info or sort-info block, so it claims none.
    header.appInfoOffset = header.sortInfoOffset = 0;
    std::string name = platform::Utf8ToLatin1(fileTitle.substr(0, fileTitle.find('.')));
    name.resize(std::min(name.size(), kHeaderNameSize - 1));
    std::copy(name.begin(), name.end(), header.name.begin());
    header.name[name.size()] = '\0';
    header.version = 0;
    SortByScale();

    const std::size_t listEnd = kHeaderSize + kEntrySize * maps.size() + 2;
    std::uint64_t offset = listEnd;
    for (std::size_t i = 0; i < maps.size(); ++i) {
        if (offset > UINT32_MAX) {
            return Error{"the database is larger than 4 GiB, which its record list cannot address"};
        }
        entries[i].offset = static_cast<std::uint32_t>(offset);
        offset += kMapFieldsSize + BitmapDataBytes(maps[i]);
    }
    DatabaseFile file;
    file.head.reserve(listEnd + kMapFieldsSize * maps.size());
    platform::ByteWriter out(file.head, platform::Endian::kBig);
    DatabaseHeader::Fields(out, header);
    for (const RecordEntry& entry : entries) {
        RecordEntry::Fields(out, entry);
    }
    out.Zeros(2);
    for (const MapRecord& map : maps) {
        MapRecord::Fields(out, map);
    }
    // Data shorter than the size rules say is padded with zeros, in pieces:
    // the rules can claim gigabytes that the map does not hold.
    static const std::vector<std::uint8_t> kZeros(65536);
    const platform::ByteSpan head = file.head;
    file.parts.push_back(head.first(listEnd));
    for (std::size_t i = 0; i < maps.size(); ++i) {
        file.parts.push_back(head.subspan(listEnd + kMapFieldsSize * i, kMapFieldsSize));
        const std::uint64_t size = BitmapDataBytes(maps[i]);
        const auto held = static_cast<std::size_t>(std::min<std::uint64_t>(size, maps[i].data.size()));
        file.parts.push_back(platform::ByteSpan(maps[i].data).first(held));
        for (std::uint64_t left = size - held; left > 0;) {
            const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, kZeros.size()));
            file.parts.push_back(platform::ByteSpan(kZeros).first(piece));
            left -= piece;
        }
    }
    return file;
}

Result<void> CPDBDoc::OnSaveDocument(const std::string& path) {
    // A failed save leaves the document exactly as it was.
    const DatabaseHeader savedHeader = header;
    const std::vector<RecordEntry> savedEntries = entries;
    const std::vector<std::size_t> order = SortByScale();
    Result<void> saved;
    try {
        Result<DatabaseFile> file = WriteDatabase(platform::FileNameOfPath(path));
        saved = file ? SaveFile(path, file->Parts()) : file.error();
    } catch (const std::bad_alloc&) {
        saved = Error{"Cannot save " + platform::FileNameOfPath(path) + ": " + platform::ReasonInWords(ENOMEM), "", ENOMEM};
    }
    if (!saved) {
        std::vector<MapRecord> restored(maps.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            restored[order[k]] = std::move(maps[k]);
        }
        maps = std::move(restored);
        entries = savedEntries;
        header = savedHeader;
        return saved;
    }
    UpdateAllViews(nullptr);
    return {};
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
