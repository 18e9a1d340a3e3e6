#include "BesideBitmap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace view {

using platform::Result;

namespace {

std::uint64_t TotalSize(std::span<const platform::ByteSpan> parts) {
    std::uint64_t total = 0;
    for (platform::ByteSpan part : parts) {
        total += part.size();
    }
    return total;
}

// Whether the file at `path` holds exactly the parts, one after another.
bool HoldsTheSameBytes(const std::string& path, std::span<const platform::ByteSpan> parts) {
    Result<platform::InputFile> file = platform::InputFile::Open(path);
    if (!file || file->Size() != TotalSize(parts)) {
        return false;
    }
    std::vector<std::uint8_t> piece;
    std::uint64_t offset = 0;
    for (platform::ByteSpan part : parts) {
        for (std::size_t done = 0; done < part.size();) {
            piece.resize(std::min(platform::kWritePiece, part.size() - done));
            if (!file->ReadAt(offset, piece) || !std::equal(piece.begin(), piece.end(), part.begin() + static_cast<std::ptrdiff_t>(done))) {
                return false;
            }
            done += piece.size();
            offset += piece.size();
        }
    }
    return true;
}

}  // namespace

BesideBitmap WriteBesideBitmap(const std::string& path, std::span<const platform::ByteSpan> parts) {
    const std::string madeFromPicture = "; the map was made from the picture itself.";
    Result<platform::OutputFile> file = platform::OutputFile::CreateNew(path);
    if (!file && file.error().code == EEXIST) {
        if (HoldsTheSameBytes(path, parts)) {
            return {};
        }
        return {false, "The file " + path + " was left as it is: it is not the bitmap of this picture" +
                           madeFromPicture};
    }
    Result<void> written;
    if (!file) {
        written = file.error();
    }
    for (std::size_t i = 0; written && i < parts.size(); ++i) {
        written = file->Write(parts[i]);
    }
    if (written) {
        written = file->Finish();
    }
    if (!written) {
        return {false, "The bitmap " + path + " could not be written (" +
                           platform::ReasonInWords(written.error().code) + ")" + madeFromPicture};
    }
    return {true, std::nullopt};
}

}  // namespace view
