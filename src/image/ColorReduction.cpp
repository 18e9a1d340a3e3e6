#include "ColorReduction.h"

#include <libimagequant.h>

#include <array>
#include <memory>
#include <new>
#include <vector>

#include "PaletteMapping.h"

// libimagequant runs its work on GNU OpenMP's threads; this is the one call made to it here.
extern "C" void omp_set_num_threads(int threads);

namespace image {

namespace {

constexpr std::size_t kMaxColors = 256;
// libimagequant's fastest setting: on a photograph of 4000 x 4000 pixels its
// colours are off by 3 % more than at its default setting, in a third of the time.
constexpr int kLiqSpeed = 10;

std::uint32_t Key(Color c) {
    return (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | c.blue;
}

// The picture's rows from the top down, each as colours.
class TopDownRows {
public:
    explicit TopDownRows(const CImageImpl& picture)
        : picture(picture), colors(static_cast<std::size_t>(picture.imageWidth)) {}

    const std::vector<Color>& Row(int fromTop) {
        picture.ReadRowColors(picture.imageHeight - 1 - fromTop, colors.data());
        return colors;
    }

private:
    const CImageImpl& picture;
    std::vector<Color> colors;
};

// The distinct colours of a picture: how many, and the first 256 in the order they appear.
struct Census {
    std::size_t distinct = 0;
    std::vector<Color> first;
};

Census TakeCensus(const CImageImpl& picture) {
    Census census;
    std::vector<std::uint64_t> seen((std::size_t{1} << 24) / 64, 0);
    TopDownRows rows(picture);
    for (int y = 0; y < picture.imageHeight; ++y) {
        for (const Color c : rows.Row(y)) {
            const std::uint32_t key = Key(c);
            std::uint64_t& word = seen[key / 64];
            const std::uint64_t bit = std::uint64_t{1} << (key % 64);
            if ((word & bit) == 0) {
                word |= bit;
                if (++census.distinct <= kMaxColors) {
                    census.first.push_back(c);
                }
            }
        }
    }
    return census;
}

// The index of each of at most 256 colours: open addressing over 1,024 slots.
class ColorIndex {
public:
    explicit ColorIndex(const std::vector<Color>& colors) {
        for (std::size_t i = 0; i < colors.size(); ++i) {
            std::size_t slot = Find(Key(colors[i]));
            keys[slot] = Key(colors[i]) + 1;
            indexes[slot] = static_cast<std::uint8_t>(i);
        }
    }

    std::uint8_t operator()(Color c) const { return indexes[Find(Key(c))]; }

private:
    std::size_t Find(std::uint32_t key) const {
        std::size_t slot = (key * 2654435761u) >> 22;
        while (keys[slot] != 0 && keys[slot] != key + 1) {
            slot = (slot + 1) % kSlots;
        }
        return slot;
    }

    static constexpr std::size_t kSlots = 1024;
    std::array<std::uint32_t, kSlots> keys{};
    std::array<std::uint8_t, kSlots> indexes{};
};

using Reduced = Result<std::unique_ptr<CImageImpl>>;

Error NoMemory() {
    return Error{"the picture's colours could not be reduced: there is not enough memory"};
}

// The 8-bit picture of `picture`'s size whose rows the caller fills.
Reduced NewIndexedPicture(const CImageImpl& picture, std::vector<Color> palette) {
    auto reduced = std::make_unique<CImageImpl>();
    if (reduced->Create(picture.imageWidth, picture.imageHeight, 8, -1, static_cast<int>(palette.size())) == 0) {
        return NoMemory();
    }
    reduced->SetPaletteObject(std::make_unique<CImagePalette>(std::move(palette)));
    return reduced;
}

std::uint8_t* RowFromTop(CImageImpl& picture, int y) {
    return picture.imageBits + static_cast<std::ptrdiff_t>(picture.imageHeight - 1 - y) * picture.imageRowBytes;
}

Reduced KeepColors(const CImageImpl& picture, const std::vector<Color>& colors) {
    Reduced reduced = NewIndexedPicture(picture, colors);
    if (!reduced) {
        return reduced;
    }
    const ColorIndex index(colors);
    TopDownRows rows(picture);
    for (int y = 0; y < picture.imageHeight; ++y) {
        std::uint8_t* out = RowFromTop(**reduced, y);
        for (const Color c : rows.Row(y)) {
            *out++ = index(c);
        }
    }
    return reduced;
}

template <class T, void (*Destroy)(T*)>
struct LiqDeleter {
    void operator()(T* object) const { Destroy(object); }
};
using LiqAttr = std::unique_ptr<liq_attr, LiqDeleter<liq_attr, liq_attr_destroy>>;
using LiqImage = std::unique_ptr<liq_image, LiqDeleter<liq_image, liq_image_destroy>>;
using LiqResult = std::unique_ptr<liq_result, LiqDeleter<liq_result, liq_result_destroy>>;

// libimagequant reads the picture a row at a time, and never all of it at
// once: a huge picture costs no second copy.
void ReadLiqRow(liq_color out[], int row, int width, void* user) {
    auto& rows = *static_cast<TopDownRows*>(user);
    const std::vector<Color>& colors = rows.Row(row);
    for (int x = 0; x < width; ++x) {
        const Color c = colors[static_cast<std::size_t>(x)];
        out[x] = liq_color{c.red, c.green, c.blue, 255};
    }
}

// The 256 colours libimagequant chooses for the picture. It runs on one
// thread: its threads add up their findings in no fixed order, and the same
// picture would not always give the same colours.
Result<std::vector<Color>> ChoosePalette(const CImageImpl& picture) {
    LiqAttr attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), static_cast<int>(kMaxColors)) != LIQ_OK ||
        liq_set_speed(attr.get(), kLiqSpeed) != LIQ_OK) {
        return NoMemory();
    }
    TopDownRows rows(picture);
    LiqImage liqImage(
        liq_image_create_custom(attr.get(), ReadLiqRow, &rows, picture.imageWidth, picture.imageHeight, 0));
    omp_set_num_threads(1);
    liq_result* quantized = nullptr;
    if (!liqImage || liq_image_quantize(liqImage.get(), attr.get(), &quantized) != LIQ_OK) {
        return NoMemory();
    }
    LiqResult result(quantized);
    const liq_palette* chosen = liq_get_palette(result.get());
    std::vector<Color> palette;
    for (unsigned i = 0; i < chosen->count; ++i) {
        palette.push_back({chosen->entries[i].r, chosen->entries[i].g, chosen->entries[i].b});
    }
    return palette;
}

// Each pixel the nearest of the chosen colours, or with `dither` the nearest
// to its colour and the errors of the pixels before it.
Reduced ChooseColors(const CImageImpl& picture, bool dither) {
    Result<std::vector<Color>> palette = ChoosePalette(picture);
    if (!palette) {
        return palette.error();
    }
    Reduced reduced = NewIndexedPicture(picture, *palette);
    if (!reduced) {
        return reduced;
    }
    const NearestColors nearest(std::move(*palette));
    ErrorDiffusion diffusion(nearest, static_cast<std::size_t>(picture.imageWidth));
    TopDownRows rows(picture);
    for (int y = 0; y < picture.imageHeight; ++y) {
        const std::vector<Color>& colors = rows.Row(y);
        std::uint8_t* out = RowFromTop(**reduced, y);
        if (dither) {
            diffusion.Row(colors.data(), out);
        } else {
            for (const Color c : colors) {
                *out++ = nearest(c);
            }
        }
    }
    return reduced;
}

}  // namespace

Result<bool> IndexIfFewColors(CImageImpl& picture) {
    if (!picture.HasPicture() || picture.imageBitCount <= 8) {
        return false;
    }
    try {
        const Census census = TakeCensus(picture);
        if (census.distinct > kMaxColors) {
            return false;
        }
        Reduced reduced = KeepColors(picture, census.first);
        if (!reduced) {
            return reduced.error();
        }
        picture.TakeOver(reduced->get());
        return true;
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

Result<ColorCount> ReduceColors(CImageImpl& picture, bool dither) {
    if (!picture.HasPicture() || picture.imageBitCount <= 8) {
        return ColorCount{};
    }
    try {
        const Census census = TakeCensus(picture);
        Reduced reduced =
            census.distinct <= kMaxColors ? KeepColors(picture, census.first) : ChooseColors(picture, dither);
        if (!reduced) {
            return reduced.error();
        }
        const std::size_t after = (*reduced)->imagePalette->Size();
        picture.TakeOver(reduced->get());
        return ColorCount{census.distinct, after};
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

}  // namespace image
