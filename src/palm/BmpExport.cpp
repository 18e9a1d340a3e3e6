#include "BmpExport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "palm/PalmDialogs.h"
#include "palm/PixelOps.h"
#include "palm/ScanLines.h"
#include "platform/ByteOrder.h"

namespace palm {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;

void Tell(const std::string& text) {
    platform::GetUserInterface().MessageBox("", text);
}

// The file header, the info header and the colour table of the bitmap file.
std::vector<std::uint8_t> Headers(const mapdb::MapRecord& map, const std::uint8_t* block, std::size_t rowSize) {
    const unsigned depth = map.pixelSize;
    const std::size_t colors = std::size_t{1} << depth;
    const auto imageSize = static_cast<std::uint32_t>(rowSize * map.height);
    const auto pixelOffset = static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize + 4 * colors);
    std::vector<std::uint8_t> bytes(pixelOffset, 0);

    std::uint8_t* file = bytes.data();
    file[0] = 'B';
    file[1] = 'M';
    platform::WriteLE32(file + 2, pixelOffset + imageSize);
    platform::WriteLE32(file + 10, pixelOffset);

    std::uint8_t* info = file + kFileHeaderSize;
    platform::WriteLE32(info, kInfoHeaderSize);
    platform::WriteLE32(info + 4, map.width);
    platform::WriteLE32(info + 8, map.height);
    platform::WriteLE16(info + 12, 1);
    platform::WriteLE16(info + 14, static_cast<std::uint16_t>(depth));
    platform::WriteLE32(info + 20, imageSize);
    platform::WriteLE32(info + 32, static_cast<std::uint32_t>(colors));
    platform::WriteLE32(info + 36, static_cast<std::uint32_t>(colors));

    std::uint8_t* table = info + kInfoHeaderSize;
    if (map.HasColorTable()) {
        // Entries are index, red, green, blue; the index byte is not used.
        const std::size_t count = std::min<std::size_t>(platform::ReadBE16(block), colors);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = block + 2 + 4 * i;
            table[4 * i] = entry[3];
            table[4 * i + 1] = entry[2];
            table[4 * i + 2] = entry[1];
        }
    } else {
        const unsigned step = 255 / static_cast<unsigned>(colors - 1);
        for (std::size_t i = 0; i < colors; ++i) {
            const auto grey = static_cast<std::uint8_t>(255 - i * step);
            table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = grey;
        }
    }
    return bytes;
}

}  // namespace

bool ExportAsBmp(const mapdb::MapRecord& map, const std::string& path) {
    const unsigned depth = map.pixelSize;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
        Tell("The map cannot be written as a bitmap: it has " + std::to_string(depth) +
             " bits per pixel, not 1, 2, 4 or 8.");
        return false;
    }
    if (!map.data) {
        Tell("The map has no picture to write.");
        return false;
    }

    // The uncompressed block: the map's own data when it holds every row, else expanded or padded.
    const std::size_t tableLength =
        map.HasColorTable() && map.data->size() >= 2 ? 2 + 4 * std::size_t{platform::ReadBE16(map.data->data())} : 0;
    const std::size_t rowBytes = map.rowBytes;
    std::optional<std::vector<std::uint8_t>> expanded;
    const std::uint8_t* block = map.data->data();
    if (map.IsCompressed() || map.data->size() < tableLength + rowBytes * map.height ||
        (map.HasColorTable() && map.data->size() < 2)) {
        expanded = ExpandScanLines(map);
        if (!expanded) {
            Tell("The compressed rows of the map are damaged: no bitmap was written.");
            return false;
        }
        block = expanded->data();
    }
    const std::uint8_t* rows = block + (map.HasColorTable() ? 2 + 4 * std::size_t{platform::ReadBE16(block)} : 0);

    // Rows are written at the standard bitmap row size, which is rowBytes
    // rounded up to 4 for every map this program makes.
    const std::size_t rowSize = AlignedRowBytes(map.width, depth, 32);
    const std::size_t copied = std::min(rowBytes, rowSize);
    const std::vector<std::uint8_t> headers = Headers(map, block, rowSize);

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) {
        ShowFileError("Cannot create", path, errno);
        return false;
    }
    bool written = std::fwrite(headers.data(), 1, headers.size(), file.get()) == headers.size();
    std::vector<std::uint8_t> row(rowSize, 0);
    for (std::size_t y = map.height; written && y-- > 0;) {
        std::copy_n(rows + y * rowBytes, copied, row.begin());
        written = std::fwrite(row.data(), 1, row.size(), file.get()) == row.size();
    }
    int error = written ? 0 : errno;
    if (std::fclose(file.release()) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ShowFileError("Cannot write", path, error != 0 ? error : EIO);
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace palm
