// Our GIF codec against giflib on the map-like picture: decoding and encoding
// in memory, row by row into and out of ready buffers on both sides.
#include <algorithm>
#include <vector>

#include <gif_lib.h>

#include "BenchSupport.h"
#include "image/GifCodec.h"
#include "support/GiflibMemory.h"

namespace bench {

namespace {

void DecodeOurs(benchmark::State& state) {
    const auto& file = MapGifFile();
    image::CImageImpl picture;
    for (auto _ : state) {
        if (!image::ReadGif(file, picture)) {
            state.SkipWithError("read failed");
        }
        benchmark::DoNotOptimize(picture.imageBits);
    }
    if (!std::equal(MapPixelsBottomUp().begin(), MapPixelsBottomUp().end(), picture.imageBits)) {
        state.SkipWithError("decoded pixels differ");
    }
}

void DecodeGiflib(benchmark::State& state) {
    const auto& file = MapGifFile();
    std::vector<GifPixelType> raster(MapPixels().size());
    for (auto _ : state) {
        testing_support::GifMemoryReader reader{&file};
        int error = 0;
        GifFileType* gif = DGifOpen(&reader, testing_support::ReadGifFromMemory, &error);
        GifRecordType type;
        while (DGifGetRecordType(gif, &type) == GIF_OK && type != IMAGE_DESC_RECORD_TYPE &&
               type != TERMINATE_RECORD_TYPE) {
        }
        DGifGetImageDesc(gif);
        for (int y = 0; y < kSide; ++y) {
            DGifGetLine(gif, &raster[static_cast<std::size_t>(y) * kSide], kSide);
        }
        DGifCloseFile(gif, &error);
        benchmark::DoNotOptimize(raster.data());
    }
    if (raster != MapPixels()) {
        state.SkipWithError("giflib decoded other pixels");
    }
}

void EncodeOurs(benchmark::State& state) {
    const image::CImageImpl& picture = MapPicture();
    for (auto _ : state) {
        auto file = image::WriteGifStream(picture);
        benchmark::DoNotOptimize(file->data());
    }
}

void EncodeGiflib(benchmark::State& state) {
    std::vector<GifColorType> colours;
    for (const image::Color& c : MapPalette()) {
        colours.push_back({c.red, c.green, c.blue});
    }
    const auto& pixels = MapPixels();
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, testing_support::WriteGifToMemory, &error);
        ColorMapObject* map = GifMakeMapObject(256, colours.data());
        EGifPutScreenDesc(gif, kSide, kSide, 8, 0, map);
        EGifPutImageDesc(gif, 0, 0, kSide, kSide, false, nullptr);
        for (int y = 0; y < kSide; ++y) {
            EGifPutLine(gif, const_cast<GifPixelType*>(&pixels[static_cast<std::size_t>(y) * kSide]), kSide);
        }
        EGifCloseFile(gif, &error);
        GifFreeMapObject(map);
        benchmark::DoNotOptimize(out.data());
    }
}

}  // namespace

void RegisterGifRows() {
    AddRow("GIF decode 4000x4000 8-bit, in memory", "giflib", 1.0, DecodeOurs, DecodeGiflib);
    AddRow("GIF encode 4000x4000 8-bit, in memory", "giflib", 1.0, EncodeOurs, EncodeGiflib);
}

}  // namespace bench
