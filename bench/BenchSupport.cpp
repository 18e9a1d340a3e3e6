#include "BenchSupport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MapPicture.h"
#include "platform/ByteOrder.h"

namespace bench {

namespace {

// Removes the work folder when the program ends.
struct WorkFolder {
    std::filesystem::path path;
    WorkFolder() {
        path = std::filesystem::temp_directory_path() / ("plandrel-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~WorkFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::vector<std::uint8_t>& MapPixels() {
    static const std::vector<std::uint8_t> pixels = MakeMapPixels(kSide, kSide);
    return pixels;
}

const std::vector<platform::PaletteEntry>& MapPalette() {
    static const std::vector<platform::PaletteEntry> palette = MapColours();
    return palette;
}

const std::vector<std::uint8_t>& MapPixelsBottomUp() {
    static const std::vector<std::uint8_t> pixels = [] {
        const auto& topDown = MapPixels();
        std::vector<std::uint8_t> bottomUp(topDown.size());
        for (std::size_t y = 0; y < kSide; ++y) {
            std::memcpy(&bottomUp[(kSide - 1 - y) * kSide], &topDown[y * kSide], kSide);
        }
        return bottomUp;
    }();
    return pixels;
}

const std::vector<std::uint8_t>& MapBmpFile() {
    static const std::vector<std::uint8_t> file = [] {
        constexpr std::size_t kPixelOffset = 14 + 40 + 1024;
        const auto& pixels = MapPixelsBottomUp();
        std::vector<std::uint8_t> bytes(kPixelOffset + pixels.size(), 0);
        bytes[0] = 'B';
        bytes[1] = 'M';
        platform::WriteLE32(&bytes[2], static_cast<std::uint32_t>(bytes.size()));
        platform::WriteLE32(&bytes[10], kPixelOffset);
        platform::WriteLE32(&bytes[14], 40);
        platform::WriteLE32(&bytes[18], kSide);
        platform::WriteLE32(&bytes[22], kSide);
        platform::WriteLE16(&bytes[26], 1);
        platform::WriteLE16(&bytes[28], 8);
        platform::WriteLE32(&bytes[34], static_cast<std::uint32_t>(pixels.size()));
        platform::WriteLE32(&bytes[46], 256);
        const auto& palette = MapPalette();
        for (std::size_t i = 0; i < 256; ++i) {
            bytes[54 + 4 * i] = palette[i].blue;
            bytes[55 + 4 * i] = palette[i].green;
            bytes[56 + 4 * i] = palette[i].red;
        }
        std::memcpy(&bytes[kPixelOffset], pixels.data(), pixels.size());
        return bytes;
    }();
    return file;
}

image::GifPictureView MapGifView() {
    image::GifPictureView view;
    view.pixels = MapPixelsBottomUp().data();
    view.rowBytes = kSide;
    view.width = view.height = kSide;
    view.bitCount = 8;
    view.palette = MapPalette().data();
    view.paletteCount = MapPalette().size();
    return view;
}

const std::vector<std::uint8_t>& MapGifFile() {
    static const std::vector<std::uint8_t> file = [] {
        image::GifByteSink sink;
        image::WriteGifStream(sink, MapGifView());
        return sink.Bytes();
    }();
    return file;
}

std::string WorkPath(const std::string& name) {
    static const WorkFolder folder;
    return (folder.path / name).string();
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

bool RunShell(const std::string& commandLine) {
    // posix_spawn rather than system(): no copy of this large process's page tables.
    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    std::string line = commandLine;
    char* argv[] = {shell.data(), dashC.data(), line.data(), nullptr};
    pid_t child = 0;
    if (::posix_spawn(&child, "/bin/sh", nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bench
