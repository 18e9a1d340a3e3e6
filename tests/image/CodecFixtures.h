#pragma once

// Fixtures for the codec tests: pictures made in memory, files made and read
// back by ImageMagick as an independent peer, and a look at PNG chunks.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "image/ImageImpl.h"
#include "support/RunCommand.h"
#include "support/TempFolder.h"

namespace codec_fixtures {

using testing_support::ReadFileBytes;
using testing_support::RunShell;
using testing_support::ShellQuote;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;
using Rgb = std::array<std::uint8_t, 3>;

// Runs ImageMagick's convert with the given arguments; fails the test when it does.
inline void Magick(const std::string& args, const TempFolder& scratch) {
    auto result = RunShell("convert " + args, scratch);
    ASSERT_EQ(result.status, 0) << "convert " << args << "\n" << result.err;
}

// Writes raw samples (`format` is gray, rgb or rgba) and has ImageMagick turn
// them into `out` with the extra options (colour type, bit depth, quality...).
inline void MagickFromRaw(const std::string& format, int width, int height, const std::vector<std::uint8_t>& samples,
                          const std::string& options, const std::string& out, const TempFolder& scratch) {
    std::string raw = scratch / ("source." + format);
    WriteFileBytes(raw, samples);
    Magick("-size " + std::to_string(width) + "x" + std::to_string(height) + " -depth 8 " + format + ":" +
               ShellQuote(raw) + " " + options + " " + ShellQuote(out),
           scratch);
}

// The pixels of a picture file as ImageMagick decodes them: 8-bit samples in
// `format` (gray, rgb or rgba), top row first.
inline std::vector<std::uint8_t> MagickSamples(const std::string& path, const std::string& format,
                                               const TempFolder& scratch) {
    std::string raw = scratch / "decoded.raw";
    auto result = RunShell("convert " + ShellQuote(path) + " -depth 8 " + format + ":" + ShellQuote(raw), scratch);
    EXPECT_EQ(result.status, 0) << result.err;
    return ReadFileBytes(raw);
}

// The pixels of a picture file as ImageMagick shows them on white: alpha and
// transparent colours composited over white, 8-bit red, green, blue, top row first.
inline std::vector<std::uint8_t> MagickOnWhite(const std::string& path, const TempFolder& scratch) {
    std::string raw = scratch / "flattened.raw";
    auto result = RunShell("convert " + ShellQuote(path) + " -background white -flatten -depth 8 rgb:" +
                               ShellQuote(raw),
                           scratch);
    EXPECT_EQ(result.status, 0) << result.err;
    return ReadFileBytes(raw);
}

// The colour of a pixel counted from the top row, as the picture gives it.
inline Rgb PixelFromTop(const image::CImageImpl& picture, int x, int yFromTop) {
    Rgb rgb{};
    EXPECT_EQ(picture.GetPixelRGB(x, picture.imageHeight - 1 - yFromTop, rgb[0], rgb[1], rgb[2]), 1)
        << "pixel " << x << "," << yFromTop;
    return rgb;
}

// Every pixel of a picture as red, green, blue, top row first.
inline std::vector<std::uint8_t> PictureRgb(const image::CImageImpl& picture) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < picture.imageHeight; ++y) {
        for (int x = 0; x < picture.imageWidth; ++x) {
            Rgb pixel = PixelFromTop(picture, x, y);
            rgb.insert(rgb.end(), pixel.begin(), pixel.end());
        }
    }
    return rgb;
}

// Mean absolute difference of two sample arrays of the same length.
inline double MeanError(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    if (a.empty() || a.size() != b.size()) {
        return 1e9;
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
    }
    return sum / static_cast<double>(a.size());
}

// A smooth, colourful test card: every pixel differs from its neighbours.
inline std::vector<std::uint8_t> TestCardRgb(int width, int height) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgb.push_back(static_cast<std::uint8_t>(x * 255 / (width - 1)));
            rgb.push_back(static_cast<std::uint8_t>(y * 255 / (height - 1)));
            rgb.push_back(static_cast<std::uint8_t>(255 - (x + y) * 255 / (width + height - 2)));
        }
    }
    return rgb;
}

// ---- PNG chunks ----

struct PngChunk {
    std::string type;
    std::vector<std::uint8_t> data;
};

inline std::uint32_t BigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The chunks of a PNG file, in order; stops at the first one that does not fit.
inline std::vector<PngChunk> PngChunks(const std::vector<std::uint8_t>& file) {
    std::vector<PngChunk> chunks;
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        std::uint32_t length = BigEndian32(&file[at]);
        if (length > file.size() - at - 12) {
            break;
        }
        chunks.push_back({std::string(file.begin() + static_cast<long>(at) + 4, file.begin() + static_cast<long>(at) + 8),
                          {file.begin() + static_cast<long>(at) + 8,
                           file.begin() + static_cast<long>(at) + 8 + static_cast<long>(length)}});
        at += 12 + length;
    }
    return chunks;
}

struct PngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colourType = -1;
    int interlace = -1;
};

inline PngHeader ReadPngHeader(const std::string& path) {
    PngHeader header;
    auto chunks = PngChunks(ReadFileBytes(path));
    if (!chunks.empty() && chunks[0].type == "IHDR" && chunks[0].data.size() == 13) {
        const auto& d = chunks[0].data;
        header = {BigEndian32(&d[0]), BigEndian32(&d[4]), d[8], d[9], d[12]};
    }
    return header;
}

// The CRC-32 of PNG chunks, to patch a header after changing it.
inline std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t n) {
    return static_cast<std::uint32_t>(crc32_z(0, bytes, n));
}

inline void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

inline void PutChunk(std::vector<std::uint8_t>& png, const PngChunk& chunk) {
    PutBigEndian32(png, static_cast<std::uint32_t>(chunk.data.size()));
    std::size_t start = png.size();
    png.insert(png.end(), chunk.type.begin(), chunk.type.end());
    png.insert(png.end(), chunk.data.begin(), chunk.data.end());
    PutBigEndian32(png, Crc32(png.data() + start, png.size() - start));
}

// The image data of a PNG from its samples, `bits` wide each, packed from the
// high bits (16-bit ones big-endian); each row behind filter byte 0.
inline std::vector<std::uint8_t> PngRows(const std::vector<std::uint16_t>& samples, std::size_t samplesPerRow,
                                         int bits) {
    std::vector<std::uint8_t> rows;
    for (std::size_t start = 0; start < samples.size(); start += samplesPerRow) {
        rows.push_back(0);
        unsigned filled = 0;
        for (std::size_t i = start; i < start + samplesPerRow; ++i) {
            if (bits == 16) {
                rows.insert(rows.end(), {static_cast<std::uint8_t>(samples[i] >> 8), static_cast<std::uint8_t>(samples[i])});
                continue;
            }
            if (filled % 8 == 0) {
                rows.push_back(0);
            }
            rows.back() = static_cast<std::uint8_t>(rows.back() | samples[i] << (8 - bits - static_cast<int>(filled % 8)));
            filled += static_cast<unsigned>(bits);
        }
    }
    return rows;
}

// A PNG file: the header, the `chunks` (PLTE, tRNS...), and the image data as
// one zlib stream of stored (uncompressed) bytes, at most 65,535 of them.
inline std::vector<std::uint8_t> PngFile(std::uint32_t width, std::uint32_t height, std::uint8_t bitDepth,
                                         std::uint8_t colourType, const std::vector<PngChunk>& chunks,
                                         const std::vector<std::uint8_t>& imageData) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    PngChunk header{"IHDR", {}};
    PutBigEndian32(header.data, width);
    PutBigEndian32(header.data, height);
    header.data.insert(header.data.end(), {bitDepth, colourType, 0, 0, 0});
    PutChunk(png, header);
    for (const PngChunk& chunk : chunks) {
        PutChunk(png, chunk);
    }
    auto length = static_cast<std::uint16_t>(imageData.size());
    auto inverse = static_cast<std::uint16_t>(~length);
    // zlib's header, then one final stored block: its length and the length's complement.
    std::vector<std::uint8_t> stream(7 + imageData.size());
    const std::uint8_t head[7] = {0x78, 0x01, 0x01, static_cast<std::uint8_t>(length),
                                  static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(inverse),
                                  static_cast<std::uint8_t>(inverse >> 8)};
    std::copy(std::begin(head), std::end(head), stream.begin());
    std::copy(imageData.begin(), imageData.end(), stream.begin() + 7);
    PutBigEndian32(stream, static_cast<std::uint32_t>(adler32_z(1, imageData.data(), imageData.size())));
    PutChunk(png, {"IDAT", std::move(stream)});
    PutChunk(png, {"IEND", {}});
    return png;
}

}  // namespace codec_fixtures
