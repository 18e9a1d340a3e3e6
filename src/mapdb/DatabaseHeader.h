#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mapdb {

constexpr std::size_t kHeaderSize = 78;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kHeaderNameSize = 32;
constexpr std::array<char, 4> kDatabaseType{'m', 'a', 'p', 's'};
constexpr std::array<char, 4> kDatabaseCreator{'Q', 'm', 'v', 't'};

// The 78-byte header of a Palm database, numbers in host order; in the file
// big-endian, in the order of Fields.
struct DatabaseHeader {
    std::array<char, kHeaderNameSize> name{};
    std::uint16_t attributes = 0;
    std::uint16_t version = 0;
    std::uint32_t creationDate = 0;
    std::uint32_t modificationDate = 0;
    std::uint32_t lastBackupDate = 0;
    std::uint32_t modificationNumber = 0;
    std::uint32_t appInfoOffset = 0;
    std::uint32_t sortInfoOffset = 0;
    std::array<char, 4> type{};
    std::array<char, 4> creator{};
    std::uint32_t uniqueIDSeed = 0;
    std::uint32_t nextRecordListID = 0;
    std::uint16_t numRecords = 0;

    template <class Cursor, class Self>
    static void Fields(Cursor& c, Self& h) {
        c(h.name, h.attributes, h.version, h.creationDate, h.modificationDate, h.lastBackupDate,
          h.modificationNumber, h.appInfoOffset, h.sortInfoOffset, h.type, h.creator, h.uniqueIDSeed,
          h.nextRecordListID, h.numRecords);
    }
};

// One entry of the record list. The low four bits of the attributes are the
// map's category; uniqueID is kept as its three file bytes.
struct RecordEntry {
    std::uint32_t offset = 0;
    std::uint8_t attributes = 0;
    std::array<std::uint8_t, 3> uniqueID{};

    template <class Cursor, class Self>
    static void Fields(Cursor& c, Self& e) {
        c(e.offset, e.attributes, e.uniqueID);
    }
};

}  // namespace mapdb
