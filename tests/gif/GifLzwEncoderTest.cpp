#include <gtest/gtest.h>

#include <map>

#include "gif/GifTestSupport.h"
#include "image/GifLzwEncoder.h"

using image::GifByteSink;
using image::GifLzwEncoder;
using image::GifPixelSource;

namespace {

// The sub-blocks the encoder writes for a top-down 8-bit picture.
std::vector<std::uint8_t> Compress(int w, int h, const std::vector<std::uint8_t>& pixels) {
    gif_test::SourcePicture picture(w, h, pixels);
    GifPixelSource source(picture.view.pixels, picture.view.rowBytes, w, h, 8);
    GifByteSink sink;
    auto encoder = std::make_unique<GifLzwEncoder>(sink);
    encoder->Compress(source);
    return sink.Bytes();
}

// Splits sub-blocks; their lengths go to `lengths`.
std::vector<std::uint8_t> JoinBlocks(const std::vector<std::uint8_t>& blocks, std::vector<int>& lengths) {
    std::vector<std::uint8_t> out;
    for (std::size_t at = 0; at < blocks.size(); at += 1u + blocks[at]) {
        lengths.push_back(blocks[at]);
        out.insert(out.end(), blocks.begin() + static_cast<std::ptrdiff_t>(at + 1),
                   blocks.begin() + static_cast<std::ptrdiff_t>(at + 1 + blocks[at]));
    }
    return out;
}

TEST(GifLzwEncoder, OnePixelIsClearPixelEndInNineBits) {
    EXPECT_EQ(Compress(1, 1, {5}), (std::vector<std::uint8_t>{4, 0x00, 0x0B, 0x04, 0x04}));
}

TEST(GifLzwEncoder, CodesWidenAfter511_1023_2047AndResetAt4096) {
    // Read the codes back with a decoder's widths: a code of the wrong width
    // would read as nonsense (a code beyond the table).
    auto pixels = gif_test::MakePixels(300, 100, 256, false, 7);
    std::vector<int> lengths;
    auto stream = JoinBlocks(Compress(300, 100, pixels), lengths);
    std::vector<std::map<int, int>> widthsPerRound;  // codes of each width between clears
    int width = 9, nextFree = 258, bit = 0;
    bool first = true;
    for (;;) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit) {
            code |= ((stream.at(static_cast<std::size_t>(bit / 8)) >> (bit % 8)) & 1) << i;
        }
        if (code == 257) {
            break;
        }
        if (code == 256) {
            widthsPerRound.emplace_back();
            width = 9;
            nextFree = 258;
            first = true;
            continue;
        }
        ASSERT_LE(code, nextFree);
        widthsPerRound.back()[width]++;
        if (!first && nextFree < 4096) {
            ++nextFree;
        }
        first = false;
        if (nextFree == 1 << width && width < 12) {
            ++width;
        }
    }
    ASSERT_GE(widthsPerRound.size(), 3u);
    for (std::size_t round = 0; round + 1 < widthsPerRound.size(); ++round) {
        // 255 codes of 9 bits, 512 of 10, 1024 of 11, 2048 of 12; then the
        // clear code, still 12 bits wide.
        EXPECT_EQ(widthsPerRound[round], (std::map<int, int>{{9, 255}, {10, 512}, {11, 1024}, {12, 2048}}));
    }
    // Sub-blocks of 254 bytes, except the last.
    for (std::size_t i = 0; i + 1 < lengths.size(); ++i) {
        ASSERT_EQ(lengths[i], 254);
    }
    EXPECT_GE(lengths.back(), 1);
    EXPECT_LE(lengths.back(), 254);
}

TEST(GifLzwEncoder, OutputStaysAsItWas) {
    // Fingerprints of the encoder's output for fixed pictures: a change to the
    // encoder must leave its bytes exactly as they were.
    auto fingerprint = [](const std::vector<std::uint8_t>& bytes) {
        std::uint64_t h = 1469598103934665603ull;
        for (auto b : bytes) {
            h = (h ^ b) * 1099511628211ull;
        }
        return h;
    };
    EXPECT_EQ(fingerprint(Compress(300, 200, gif_test::MakePixels(300, 200, 256, false, 1))), 14865585827166557735u);
    EXPECT_EQ(fingerprint(Compress(640, 480, gif_test::MakePixels(640, 480, 16, true, 2))), 14148411795941396237u);
    EXPECT_EQ(fingerprint(Compress(97, 3, std::vector<std::uint8_t>(97 * 3, 0))), 14098763276047205878u);
}

TEST(GifPixelSource, ReadsPackedPixelsTopRowFirst) {
    // Two rows of 5 pixels at each depth; the source picture stores them
    // bottom-up and packed most significant bit first.
    for (int depth : {1, 2, 3, 4, 8}) {
        std::vector<std::uint8_t> pixels;
        for (int i = 0; i < 10; ++i) {
            pixels.push_back(static_cast<std::uint8_t>((i * 5 + 3) % (1 << depth)));
        }
        gif_test::SourcePicture picture(5, 2, pixels, depth);
        GifPixelSource source(picture.view.pixels, picture.view.rowBytes, 5, 2, depth);
        std::vector<std::uint8_t> read;
        for (int v = source.NextPixel(); v >= 0; v = source.NextPixel()) {
            read.push_back(static_cast<std::uint8_t>(v));
        }
        EXPECT_EQ(read, pixels) << depth;
    }
}

}  // namespace
