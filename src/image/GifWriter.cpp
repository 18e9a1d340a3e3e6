#include <memory>
#include <new>

#include "GifCodec.h"
#include "platform/ByteOrder.h"
#include "platform/UserInterface.h"

namespace image {

namespace {

constexpr int kMaxSide = 0xFFFF;
// Global table present, colour resolution 8 bits, not sorted, 256 entries.
constexpr std::uint8_t kScreenPacked = 0xF7;
constexpr std::uint8_t kImageSeparator = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;

void PutLE16(GifByteSink& sink, int value) {
    std::array<std::uint8_t, 2> bytes{};
    platform::WriteLE16(bytes.data(), static_cast<std::uint16_t>(value));
    sink.Write(bytes.data(), bytes.size());
}

void Tell(const char* text) {
    platform::GetUserInterface().MessageBox("", text);
}

}  // namespace

std::array<std::uint8_t, 3 * 256> GifColorTableFor(const GifPictureView& view) {
    std::array<std::uint8_t, 3 * 256> table{};
    if (view.palette != nullptr) {
        std::size_t count = std::min<std::size_t>(view.paletteCount, 256);
        for (std::size_t i = 0; i < count; ++i) {
            table[3 * i] = view.palette[i].red;
            table[3 * i + 1] = view.palette[i].green;
            table[3 * i + 2] = view.palette[i].blue;
        }
    } else if (view.bitCount >= 1 && view.bitCount <= 8) {
        // No palette: the indices are grey levels, black to white.
        std::size_t levels = std::size_t{1} << view.bitCount;
        for (std::size_t i = 0; i < levels; ++i) {
            auto grey = static_cast<std::uint8_t>(i * 255 / (levels - 1));
            table[3 * i] = table[3 * i + 1] = table[3 * i + 2] = grey;
        }
    }
    return table;
}

void WriteGifStream(GifByteSink& sink, const GifPictureView& view) {
    static constexpr std::uint8_t kSignature[] = {'G', 'I', 'F', '8', '7', 'a'};
    sink.Write(kSignature, sizeof kSignature);
    PutLE16(sink, view.width);
    PutLE16(sink, view.height);
    sink.Put(kScreenPacked);
    sink.Put(0);  // background colour index
    sink.Put(0);  // pixel aspect ratio: not given
    auto table = GifColorTableFor(view);
    sink.Write(table.data(), table.size());

    sink.Put(kImageSeparator);
    PutLE16(sink, 0);  // left
    PutLE16(sink, 0);  // top
    PutLE16(sink, view.width);
    PutLE16(sink, view.height);
    sink.Put(0);  // no local table, not interlaced
    sink.Put(GifLzwEncoder::kMinimumCodeSize);

    GifPixelSource pixels(view.pixels, view.rowBytes, view.width, view.height, view.bitCount);
    auto encoder = std::make_unique<GifLzwEncoder>(sink);
    encoder->Compress(pixels);

    sink.Put(0);  // block terminator
    sink.Put(kTrailer);
}

int WriteGifFile(const std::string& name, const GifPictureView& view) {
    if (view.bitCount > 8) {
        Tell(kGifTooDeepMessage);
        return 0;
    }
    if (view.pixels == nullptr || view.bitCount < 1) {
        return 0;  // no picture to write
    }
    if (view.width < 0 || view.height < 0 || view.width > kMaxSide || view.height > kMaxSide) {
        Tell(kGifTooLargeMessage);
        return 0;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "wb"), &std::fclose);
    if (!file) {
        Tell(kGifCannotOpenMessage);
        return 0;
    }
    bool written = false;
    try {
        GifByteSink sink(file.get());
        WriteGifStream(sink, view);
        written = sink.Flush();
    } catch (const std::bad_alloc&) {
        written = false;
    }
    written = std::fclose(file.release()) == 0 && written;
    if (!written) {
        Tell(kGifWriteErrorMessage);
        return 0;
    }
    return 1;
}

}  // namespace image
