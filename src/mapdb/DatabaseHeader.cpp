#include "DatabaseHeader.h"

#include <cstring>

#include "platform/ByteOrder.h"

namespace mapdb {

using platform::ReadBE16;
using platform::ReadBE32;
using platform::WriteBE16;
using platform::WriteBE32;

void EncodeHeader(const DatabaseHeader& h, std::uint8_t* out) {
    std::memcpy(out, h.name.data(), kHeaderNameSize);
    WriteBE16(out + 32, h.attributes);
    WriteBE16(out + 34, h.version);
    WriteBE32(out + 36, h.creationDate);
    WriteBE32(out + 40, h.modificationDate);
    WriteBE32(out + 44, h.lastBackupDate);
    WriteBE32(out + 48, h.modificationNumber);
    WriteBE32(out + 52, h.appInfoOffset);
    WriteBE32(out + 56, h.sortInfoOffset);
    std::memcpy(out + 60, h.type.data(), 4);
    std::memcpy(out + 64, h.creator.data(), 4);
    WriteBE32(out + 68, h.uniqueIDSeed);
    WriteBE32(out + 72, h.nextRecordListID);
    WriteBE16(out + 76, h.numRecords);
}

void DecodeHeader(const std::uint8_t* in, DatabaseHeader& h) {
    std::memcpy(h.name.data(), in, kHeaderNameSize);
    h.attributes = ReadBE16(in + 32);
    h.version = ReadBE16(in + 34);
    h.creationDate = ReadBE32(in + 36);
    h.modificationDate = ReadBE32(in + 40);
    h.lastBackupDate = ReadBE32(in + 44);
    h.modificationNumber = ReadBE32(in + 48);
    h.appInfoOffset = ReadBE32(in + 52);
    h.sortInfoOffset = ReadBE32(in + 56);
    std::memcpy(h.type.data(), in + 60, 4);
    std::memcpy(h.creator.data(), in + 64, 4);
    h.uniqueIDSeed = ReadBE32(in + 68);
    h.nextRecordListID = ReadBE32(in + 72);
    h.numRecords = ReadBE16(in + 76);
}

void EncodeEntry(const RecordEntry& entry, std::uint8_t* out) {
    WriteBE32(out, entry.offset);
    out[4] = entry.attributes;
    std::memcpy(out + 5, entry.uniqueID.data(), 3);
}

void DecodeEntry(const std::uint8_t* in, RecordEntry& entry) {
    entry.offset = ReadBE32(in);
    entry.attributes = in[4];
    std::memcpy(entry.uniqueID.data(), in + 5, 3);
}

}  // namespace mapdb
