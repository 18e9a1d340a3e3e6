#include "BenchSupport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "MapPicture.h"
#include "image/GifCodec.h"

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

const std::vector<image::Color>& MapPalette() {
    static const std::vector<image::Color> palette = MapColours();
    return palette;
}

const image::CImageImpl& MapPicture() {
    static const auto picture = [] {
        auto made = std::make_unique<image::CImageImpl>();
        MakeMapPicture(*made, kSide, kSide);
        return made;
    }();
    return *picture;
}

const std::vector<std::uint8_t>& MapPixelsBottomUp() {
    static const std::vector<std::uint8_t> pixels(MapPicture().imageBits,
                                                  MapPicture().imageBits + std::size_t{kSide} * kSide);
    return pixels;
}

const std::vector<std::uint8_t>& MapGifFile() {
    static const std::vector<std::uint8_t> file = *image::WriteGifStream(MapPicture());
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
