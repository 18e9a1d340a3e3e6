#include <gtest/gtest.h>

#include <map>

#include "gif/GifTestSupport.h"
#include "image/GifLzwEncoder.h"

using gif_test::Bytes;

namespace {

// The sub-blocks the encoder writes for a top-down 8-bit picture.
Bytes Compress(int w, int h, const Bytes& pixels) {
    auto picture = gif_test::MakePicture(w, h, pixels);
    image::GifPixelSource source(picture->imageBits, picture->imageRowBytes, w, h, 8);
    Bytes out;
    auto encoder = std::make_unique<image::GifLzwEncoder>(out);
    encoder->Compress(source);
    return out;
}

// Joins sub-blocks; their lengths go to `lengths`.
Bytes JoinBlocks(const Bytes& blocks, std::vector<int>& lengths) {
    Bytes out;
    for (std::size_t at = 0; at < blocks.size(); at += 1u + blocks[at]) {
        lengths.push_back(blocks[at]);
        out.insert(out.end(), blocks.begin() + static_cast<std::ptrdiff_t>(at + 1),
                   blocks.begin() + static_cast<std::ptrdiff_t>(at + 1 + blocks[at]));
    }
    return out;
}

TEST(GifLzwEncoder, OnePixelIsClearPixelEndInNineBits) {
    EXPECT_EQ(Compress(1, 1, {5}), (Bytes{4, 0x00, 0x0B, 0x04, 0x04}));
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
    auto fingerprint = [](const Bytes& bytes) {
        std::uint64_t h = 1469598103934665603ull;
        for (auto b : bytes) {
            h = (h ^ b) * 1099511628211ull;
        }
        return h;
    };
    EXPECT_EQ(fingerprint(Compress(300, 200, gif_test::MakePixels(300, 200, 256, false, 1))), 14865585827166557735u);
    EXPECT_EQ(fingerprint(Compress(640, 480, gif_test::MakePixels(640, 480, 16, true, 2))), 14148411795941396237u);
    EXPECT_EQ(fingerprint(Compress(97, 3, Bytes(97 * 3, 0))), 14098763276047205878u);
}

}  // namespace
