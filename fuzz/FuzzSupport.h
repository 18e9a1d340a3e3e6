#pragma once

// What the fuzz targets share: a reader of the fuzzed bytes, and answers to
// the import's questions taken from those bytes.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "view/ImportFlow.h"

namespace fuzzing {

// Takes bytes from the front of the input; past its end every byte is 0.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    std::uint8_t Byte() { return at < size ? data[at++] : 0; }
    // A text of up to `limit` bytes, its length given by the byte before it.
    std::string Text(std::size_t limit) {
        std::size_t length = std::min<std::size_t>({Byte(), limit, size - at});
        std::string text(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return text;
    }
    const std::uint8_t* Rest() const { return data + at; }
    std::size_t RestSize() const { return size - at; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

// Answers the import's two questions with what the fuzzed bytes chose.
struct FuzzedAnswers {
    // Bits 0-1: the depth (1, 2, 4 or 8 bits); bit 2: compress; bit 3: colour table; bit 4: dither.
    std::uint8_t depthAnswer = 0;
    // The four corner texts; an empty one keeps the proposed text.
    std::array<std::string, 4> corners;

    palm::ConversionOptions Conversion() const {
        return {1u << (depthAnswer & 3), (depthAnswer & 4) != 0, (depthAnswer & 8) != 0, (depthAnswer & 16) != 0};
    }
    view::ImportAnswers Import() const {
        return {[this](const palm::PictureFacts&) { return Conversion(); },
                [this](const palm::CornerTexts& proposed) {
                    palm::CornerTexts texts = proposed;
                    std::string* fields[] = {&texts.topLeftLatitude, &texts.topLeftLongitude,
                                             &texts.bottomRightLatitude, &texts.bottomRightLongitude};
                    for (std::size_t i = 0; i < corners.size(); ++i) {
                        if (!corners[i].empty()) {
                            *fields[i] = corners[i];
                        }
                    }
                    return palm::ParseCorners(texts);
                },
                nullptr,
                nullptr};
    }
};

// Stops the run as a finding when a property that must hold does not.
inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace fuzzing
